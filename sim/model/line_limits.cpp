#include "model/line_limits.h"

#include <algorithm>

namespace {

// The first limit that starts beyond a location.
std::vector<LineLimit>::const_iterator After(const std::vector<LineLimit>& limits,
                                             double location) {
  return std::upper_bound(limits.begin(), limits.end(), location,
                          [](double at, const LineLimit& l) { return at < l.from; });
}

}  // namespace

const LineLimit* LimitAt(const std::vector<LineLimit>& limits, double location) {
  const auto after = After(limits, location);
  return after == limits.begin() ? nullptr : &*(after - 1);
}

const LineLimit* LowestOver(const std::vector<LineLimit>& limits, double rear, double front) {
  const LineLimit* lowest = LimitAt(limits, rear);
  for (auto l = After(limits, rear); l != After(limits, front); ++l) {
    if (lowest == nullptr || l->kmh < lowest->kmh) lowest = &*l;
  }
  return lowest;
}
