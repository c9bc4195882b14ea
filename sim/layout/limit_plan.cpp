#include "layout/limit_plan.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kLimitStep = 5;  // km/h: a lowered limit is a multiple of it

double NextLower(double kmh) { return std::ceil(kmh / kLimitStep) * kLimitStep - kLimitStep; }

void Merge(std::vector<Step>& steps) {
  std::vector<Step> out;
  for (const Step& s : steps) {
    if (out.empty() || out.back().kmh != s.kmh) out.push_back(s);
  }
  steps = std::move(out);
}

}  // namespace

std::vector<Step> BodyLimits(const std::vector<LineLimit>& limits, double length, double from,
                             double to) {
  std::vector<double> at = {from};
  for (const LineLimit& l : limits) {
    for (const double x : {l.from, l.from + length}) {
      if (x > from && x < to) at.push_back(x);
    }
  }
  std::sort(at.begin(), at.end());
  std::vector<Step> steps;
  for (const double x : at) {
    const LineLimit* lowest = LowestOver(limits, x - length, x);
    if (lowest == nullptr) return {};
    steps.push_back({x, lowest->kmh});
  }
  Merge(steps);
  return steps;
}

bool Fit(std::vector<Step>& steps, double firstRoom, double floor, const CurveRun& run) {
  for (size_t i = steps.size(); i-- > 1;) {
    Step& before = steps[i - 1];
    const double room = steps[i].from - (i == 1 ? firstRoom : before.from + kStepGap);
    while (before.kmh > steps[i].kmh && run(before.kmh, steps[i].kmh, steps[i].from) > room)
      before.kmh = std::max(steps[i].kmh, NextLower(before.kmh));
  }
  Merge(steps);
  return !steps.empty() && steps.front().kmh >= floor;
}

double KmhAt(const std::vector<Step>& steps, double at) {
  const auto after = std::upper_bound(steps.begin(), steps.end(), at,
                                      [](double x, const Step& s) { return x < s.from; });
  return after == steps.begin() ? steps.front().kmh : std::prev(after)->kmh;
}

double LowestFrom(const std::vector<Step>& steps, double from) {
  double lowest = INFINITY;
  for (size_t i = 0; i < steps.size(); ++i) {
    const bool reaches = i + 1 == steps.size() || steps[i + 1].from > from;
    if (reaches) lowest = std::min(lowest, steps[i].kmh);
  }
  return lowest;
}
