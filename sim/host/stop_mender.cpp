#include "host/stop_mender.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "model/units.h"

bool StopMender::Begin(const RunClock& now) {
  const double at = now.motion.location;
  StopRecord* stop = stops_.Next(at);
  if (stop == nullptr || stop->doorsOpenMs || stop->mendedFrom ||
      std::fabs(at - stop->station->stop) <= window_) {
    return false;
  }
  if (!stop->stoppedAt) stop->stoppedAt = stop->firstStoppedAt = at;  // short of its reach
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
