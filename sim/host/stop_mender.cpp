#include "host/stop_mender.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "host/handles_text.h"
#include "model/units.h"

namespace {

// "it stood still at 500.0 m after leaving Alder, brake 0 power 1", or
// "..., 101.5 m past Brook, brake 8 power 0" where it never stood at Brook
std::string StoodStill(double at, const StopBook& stops, const ATS_HANDLES& handles) {
  const StopRecord* behind = nullptr;  // the last station the train has come to
  for (const StopRecord& r : stops.All()) {
    if (r.station->stop <= at + kDockedWindow) behind = &r;
  }
  std::string where;
  if (behind != nullptr && behind->departureMs)
    where = " after leaving " + behind->station->name;
  else if (behind != nullptr)
    where = fmt::format(", {:.1f} m past {}", at - behind->station->stop, behind->station->name);
  return fmt::format("it stood still at {:.1f} m{}, {}", at, where, HandlesText(handles));
}

}  // namespace

bool StopMender::Begin(const RunClock& now, const ATS_HANDLES& handles) {
  const double at = now.motion.location;
  StopRecord* stop = stops_.Next(at);
  if (stop == nullptr || stop->doorsOpenMs || stop->mendedFrom ||
      std::fabs(at - stop->station->stop) <= window_) {
    return false;
  }
  if (!stop->stoppedAt) {  // short of its reach: it stood still on the way
    stop->stoppedAt = stop->firstStoppedAt = at;
    stop->stoodOnTheWay = StoodStill(at, stops_, handles);
  }
  stop->mendedFrom = at;
  target_ = stop->station->stop;
  moving_ = true;
  timeline_.Log(fmt::format("the host moves the train {:.2f} m {} to the stopping point of {}",
                            std::fabs(target_ - at), target_ > at ? "forward" : "back",
                            stop->station->name));
  return true;
}

void StopMender::Move(TrainMotion& m, double dt) {
  const double left = target_ - m.location;
  const double step = std::min(std::fabs(left), Ms(kShuntKmh) * dt);
  m.location += std::copysign(step, left);
  m.speed = std::copysign(kShuntKmh, left);
  if (step < std::fabs(left)) return;
  m.location = target_;
  m.speed = 0;
  moving_ = false;
}
