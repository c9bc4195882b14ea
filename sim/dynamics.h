// The train as the host moves it, a point mass along the line. The notches
// act through a first-order lag; the grade under the train pulls it along or
// back; running resistance and the brakes act like friction: they oppose the
// motion, never reverse it, and at a stand hold the train against what they
// can. A braked train at a stand is held whatever the grade. The host's
// constant-speed control holds the speed at which it was engaged, with no
// more traction than the power notch gives.
#pragma once

#include <array>
#include <utility>
#include <vector>

#include "atsplugin.h"

struct Dynamics {
  double accelPerNotch = 0.9;  // km/h per second, per power notch
  // km/h per second by brake notch 0..9; the last is the emergency brake.
  std::array<double, 10> decelByNotch{0, 0.4, 0.8, 1.2, 1.6, 2.0, 2.6, 3.2, 3.8, 4.5};
  double resistance = 0.05;  // km/h per second while moving
  double lagSeconds = 0.6;   // first-order lag of the notch response
};

// The grade from a location on, until the next one; level before the first.
struct Gradient {
  double from;      // m
  double permille;  // positive rising in the running direction
  int line;
};

struct TrainMotion {
  double location = 0;  // m
  double speed = 0;     // km/h, negative backwards
};

// 9.80665 m/s² per unit of grade, in km/h per second per per-mille.
constexpr double kGradeKmhPerSecondPerPermille = 9.80665 * 3.6 / 1000;

class TrainModel {
 public:
  explicit TrainModel(const Dynamics& d, std::vector<Gradient> gradients = {})
      : d_(d), gradients_(std::move(gradients)) {}

  // Moves the train by dt seconds under the handles.
  void Step(TrainMotion& m, const ATS_HANDLES& h, double dt);

  // The grade at a location, ‰, positive rising in the running direction.
  double PermilleAt(double location) const;

 private:
  double NotchEffort(const TrainMotion& m, const ATS_HANDLES& h);

  Dynamics d_;
  std::vector<Gradient> gradients_;  // in location order
  double effort_ = 0;     // km/h per second: traction when positive, braking when negative
  bool holding_ = false;  // constant-speed control engaged
  double heldSpeed_ = 0;
};
