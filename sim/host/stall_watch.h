// The stall watch: ends a run whose train stands with nothing left that
// could move it, and says why it stands.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "atsplugin.h"
#include "host/stops.h"
#include "host/timeline.h"
#include "model/cab.h"

class StallWatch {
 public:
  explicit StallWatch(double stallAfterSeconds) : stallAfterSeconds_(stallAfterSeconds) {}

  // After each frame: whether the train has stood still, with the plug-in's
  // outputs and the cab unchanged and nothing happening or pending, for the
  // stall time.
  bool Stalled(const RunClock& now, const ATS_HANDLES& handles, const int32_t* panel,
               bool somethingHappened, bool somethingPending);

  // "stopped 1.11 m short of Birchfield, doors never opened"
  static std::string WhyStill(const RunClock& now, const StopBook& stops, bool doorsOpen,
                              const ATS_HANDLES& handles);

 private:
  double stallAfterSeconds_;
  double stillSince_ = 0;
  ATS_HANDLES lastHandles_{};
  std::array<int32_t, kCabPanels.size()> lastCab_{};
};
