#include "host/stall_watch.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "host/handles_text.h"

bool StallWatch::Stalled(const RunClock& now, const ATS_HANDLES& handles, const int32_t* panel,
                         bool somethingHappened, bool somethingPending) {
  std::array<int32_t, kCabPanels.size()> cab;
  for (size_t i = 0; i < kCabPanels.size(); ++i) cab[i] = panel[kCabPanels[i]];
  const bool outputsChanged =
      handles.brake != lastHandles_.brake || handles.power != lastHandles_.power ||
      handles.reverser != lastHandles_.reverser ||
      handles.constantSpeed != lastHandles_.constantSpeed || cab != lastCab_;
  lastHandles_ = handles;
  lastCab_ = cab;
  if (now.motion.speed != 0 || outputsChanged || somethingHappened || somethingPending) {
    stillSince_ = now.elapsed;
  }
  return now.elapsed - stillSince_ >= stallAfterSeconds_;
}

std::string StallWatch::WhyStill(const RunClock& now, const StopBook& stops, bool doorsOpen,
                                 const ATS_HANDLES& handles) {
  const double location = now.motion.location;
  const StopRecord* stop = stops.Here(location);
  const std::string doors = doorsOpen ? "doors open" : "doors closed";
  if (stop == nullptr || !stop->stoppedAt) {
    const auto& all = stops.All();
    const auto ahead =
        std::find_if(all.begin(), all.end(), [&](auto& r) { return r.station->stop > location; });
    const std::string where =
        ahead == all.end() ? std::string("stopped past the last station")
                           : fmt::format("stopped {:.1f} m before {}",
                                         ahead->station->stop - location, ahead->station->name);
    return fmt::format("{}, {}, {}", where, doors, HandlesText(handles));
  }
  const double off = *stop->stoppedAt - stop->station->stop;
  const std::string where = fmt::format("stopped {:.2f} m {} {}", std::fabs(off),
                                        off < 0 ? "short of" : "beyond", stop->station->name);
  if (!stop->doorsOpenMs && !stop->doorsClosedMs) return where + ", doors never opened";
  return fmt::format("{}, {}, no departure", where, doors);
}
