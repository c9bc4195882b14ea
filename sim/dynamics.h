// The train as the host moves it, a point mass along the line. The notches
// act through a first-order lag; the grade under the train pulls it along or
// back; running resistance and the brakes act like friction: they oppose the
// motion, never reverse it, and at a stand hold the train against what they
// can. A braked train at a stand is held whatever the grade. The host's
// constant-speed control holds the speed at which it was engaged, with no
// more traction than the power notch gives.
#pragma once

#include <vector>

#include "atsplugin.h"
#include "scenario.h"

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
