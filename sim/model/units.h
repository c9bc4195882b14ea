// The units the simulator mixes, converted in one place, and the one
// braking formula, v² = u² - 2as, solved for s, a and v.
#pragma once

#include <algorithm>
#include <cmath>

constexpr double kGravity = 9.80665;  // m/s²
// km/h in m/s, and back.
constexpr double Ms(double kmh) { return kmh / 3.6; }
constexpr double Kmh(double ms) { return ms * 3.6; }
// g per unit of grade, in km/h per second per per-mille.
constexpr double kGradeKmhPerSecondPerPermille = kGravity * 3.6 / 1000;

// Metres to slow from v to w km/h at a m/s²; 0 when w is not below v.
inline double BrakingDistance(double v, double w, double a) {
  return std::max(0.0, (Ms(v) * Ms(v) - Ms(w) * Ms(w)) / (2 * a));
}

// m/s² to slow from v to w km/h over x metres; 0 when w is not below v.
inline double DecelerationToSlow(double v, double w, double x) {
  return std::max(0.0, (Ms(v) * Ms(v) - Ms(w) * Ms(w)) / (2 * x));
}

// km/h after slowing from v km/h at a m/s² over x metres; 0 once stopped.
inline double SpeedAfterBraking(double v, double a, double x) {
  return Kmh(std::sqrt(std::max(0.0, Ms(v) * Ms(v) - 2 * a * x)));
}
