// The host's frame steps: uneven by the jitter, and the pauses.
#pragma once

#include <random>

#include "scenario/scenario.h"

class FrameClock {
 public:
  explicit FrameClock(const Scenario& s) : s_(s), random_(s.seed) {}

  // The next frame's step, given the time run so far; a pause when one is due.
  double NextStep(double elapsed, bool& paused) {
    paused = nextPause_ < s_.pauses.size() && elapsed >= s_.pauses[nextPause_].atSeconds;
    if (paused) return s_.pauses[nextPause_++].seconds;
    if (s_.timeStepJitter == 0) return s_.timeStep;
    const double unit = static_cast<double>(random_() >> 11) * 0x1p-53;  // [0, 1)
    return s_.timeStep * (1 + s_.timeStepJitter * (2 * unit - 1));
  }

 private:
  const Scenario& s_;
  std::mt19937_64 random_;  // its sequence is fixed by the standard
  size_t nextPause_ = 0;
};
