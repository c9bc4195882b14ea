// The train as the host moves it: notches give an acceleration through a
// first-order lag, running resistance opposes motion, and the host's
// constant-speed control holds the speed at which it was engaged.
#pragma once

#include "atsplugin.h"
#include "scenario.h"

struct TrainMotion {
  double location = 0;  // m
  double speed = 0;     // km/h, negative backwards
};

class TrainModel {
 public:
  explicit TrainModel(const Dynamics& d) : d_(d) {}

  // Moves the train by dt seconds under the handles.
  void Step(TrainMotion& m, const ATS_HANDLES& h, double dt);

 private:
  double TargetAcceleration(const TrainMotion& m, const ATS_HANDLES& h);

  Dynamics d_;
  double accel_ = 0;      // km/h per second, lagging the target
  bool holding_ = false;  // constant-speed control engaged
  double heldSpeed_ = 0;
};
