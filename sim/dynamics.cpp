#include "dynamics.h"

#include <algorithm>
#include <cmath>

double TrainModel::TargetAcceleration(const TrainMotion& m, const ATS_HANDLES& h) {
  if (h.constantSpeed == 1 && !holding_) {
    holding_ = true;
    heldSpeed_ = std::fabs(m.speed);
  } else if (h.constantSpeed == 2) {
    holding_ = false;
  }
  const int brake = std::clamp(h.brake, 0, static_cast<int>(d_.decelByNotch.size()) - 1);
  if (brake > 0) return -d_.decelByNotch[brake];
  const double power = std::max(0, h.power) * d_.accelPerNotch;
  if (holding_ && power > 0 && std::fabs(m.speed) >= heldSpeed_) return d_.resistance;
  return h.reverser == 0 ? 0 : power;
}

void TrainModel::Step(TrainMotion& m, const ATS_HANDLES& h, double dt) {
  const double target = TargetAcceleration(m, h);
  accel_ =
      d_.lagSeconds > 0 ? accel_ + (target - accel_) * std::min(1.0, dt / d_.lagSeconds) : target;
  double magnitude = std::fabs(m.speed);
  double direction = m.speed != 0 ? std::copysign(1.0, m.speed) : (h.reverser < 0 ? -1.0 : 1.0);
  if (accel_ < 0) {
    magnitude = std::max(0.0, magnitude + accel_ * dt);  // brakes stop the train, never reverse it
  } else if (h.reverser != 0 && (m.speed == 0 || direction == h.reverser)) {
    direction = h.reverser;
    magnitude += accel_ * dt;
  }
  if (magnitude > 0) magnitude = std::max(0.0, magnitude - d_.resistance * dt);
  const double before = m.speed;
  m.speed = direction * magnitude;
  m.location += (before + m.speed) / 2 / 3.6 * dt;
}
