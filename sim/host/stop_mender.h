// With --keep-going, a stop missed where the train stands (short of the
// doors' reach, or beyond it) does not end the run: the host moves the
// train itself to the stopping point at walking pace, the plug-in's
// handles set aside meanwhile, and the stop counts as missed and mended.
#pragma once

#include "atsplugin.h"
#include "host/stops.h"
#include "host/timeline.h"
#include "model/dynamics.h"
#include "scenario/scenario.h"

class StopMender {
 public:
  static constexpr double kShuntKmh = 3.6;

  StopMender(const Scenario& s, StopBook& stops, Timeline& timeline)
      : window_(s.doors.window), stops_(stops), timeline_(timeline) {}

  // Where the run would stall: whether the train stands short of or beyond
  // the next station's doors, and the move to its stopping point has begun.
  bool Begin(const RunClock& now, const ATS_HANDLES& handles);
  bool Moving() const { return moving_; }
  // The move over dt seconds, in place of the train's own.
  void Move(TrainMotion& m, double dt);

 private:
  double window_;
  StopBook& stops_;
  Timeline& timeline_;
  bool moving_ = false;
  double target_ = 0;
};
