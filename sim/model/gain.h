// The fastest the train gains from a speed under automatic driving's
// power, held at a limit once it reaches it: where it can be at most, as a
// braking curve starting there finds it.
#pragma once

#include <functional>
#include <vector>

#include "model/dynamics.h"

class Gain {
 public:
  Gain() = default;
  // From `kmh` at `from` to `to`, under the limit at each location, at
  // most kFarthest metres on.
  Gain(const Dynamics& d, const std::vector<Gradient>& grades, double from, double to, double kmh,
       const std::function<double(double)>& limitAt);
  static constexpr double kFarthest = 20000;  // m

  // km/h at a location from `from` to where it was followed; before it, as
  // at `from`; past it, unbounded.
  double At(double location) const;
  double From() const { return from_; }
  double To() const { return from_ + static_cast<double>(kmh_.size()) - 1; }

 private:
  double from_ = 0;
  std::vector<double> kmh_;  // by whole metre from `from`
};
