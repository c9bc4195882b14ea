#include "scenario/sweep_axes.h"

#include <fmt/format.h>

#include <cassert>

#include "scenario/keys.h"

size_t CombinationCount(const std::vector<SweepAxis>& axes) {
  size_t n = 1;
  for (const SweepAxis& axis : axes) n *= axis.values.size();
  return n;
}

std::vector<SweepPoint> Combinations(const std::vector<SweepAxis>& axes) {
  std::vector<SweepPoint> all{SweepPoint{}};
  for (const SweepAxis& axis : axes) {
    std::vector<SweepPoint> longer;
    for (const SweepPoint& p : all) {
      for (size_t i = 0; i < axis.values.size(); ++i) {
        longer.push_back(p);
        longer.back().push_back(i);
      }
    }
    all = std::move(longer);
  }
  return all;
}

SweepPoint MostScoring(const std::vector<SweepAxis>& axes,
                       const std::function<double(const SweepPoint&)>& score) {
  SweepPoint best(axes.size(), 0);
  for (size_t i = 0; i < axes.size(); ++i) {
    SweepPoint p = best;
    for (p[i] = 0; p[i] < axes[i].values.size(); ++p[i]) {
      if (score(p) > score(best)) best = p;
    }
  }
  return best;
}

Scenario Apply(const Scenario& s, const std::vector<SweepAxis>& axes, const SweepPoint& p) {
  Scenario out = s;
  for (size_t i = 0; i < axes.size(); ++i) {
    const ScenarioKey* key = SweptKey(axes[i].name);
    assert(key != nullptr);
    key->slot.set(out, axes[i].values[p[i]]);
  }
  return out;
}

std::string Describe(const std::vector<SweepAxis>& axes, const SweepPoint& p) {
  std::string text;
  for (size_t i = 0; i < axes.size(); ++i) {
    // Exactly as given, so that the combination can be run again.
    text += fmt::format("{}{} {}", i == 0 ? "" : ", ", axes[i].name, axes[i].values[p[i]]);
  }
  return text.empty() ? "as the file has it" : text;
}
