#include "dynamics.h"

#include <algorithm>
#include <cmath>

double TrainModel::PermilleAt(double location) const {
  const auto after = std::upper_bound(gradients_.begin(), gradients_.end(), location,
                                      [](double at, const Gradient& g) { return at < g.from; });
  return after == gradients_.begin() ? 0.0 : std::prev(after)->permille;
}

// What the notches ask for: brake deceleration, or traction (positive).
double TrainModel::NotchEffort(const TrainMotion& m, const ATS_HANDLES& h) {
  if (h.constantSpeed == 1 && !holding_) {
    holding_ = true;
    heldSpeed_ = std::fabs(m.speed);
  } else if (h.constantSpeed == 2) {
    holding_ = false;
  }
  const int brake = std::clamp(h.brake, 0, static_cast<int>(d_.decelByNotch.size()) - 1);
  if (brake > 0) return -d_.decelByNotch[brake];
  return h.reverser == 0 ? 0 : std::max(0, h.power) * d_.accelPerNotch;
}

void TrainModel::Step(TrainMotion& m, const ATS_HANDLES& h, double dt) {
  const double target = NotchEffort(m, h);
  effort_ =
      d_.lagSeconds > 0 ? effort_ + (target - effort_) * std::min(1.0, dt / d_.lagSeconds) : target;
  const double before = m.speed;
  if (m.speed == 0 && h.brake > 0) return;  // the brakes hold a standing train

  // Along the line (km/h per second, positive forwards): the grade, and
  // traction in the reverser's direction.
  const double grade = -kGradeKmhPerSecondPerPermille * PermilleAt(m.location);
  double traction = effort_ > 0 ? effort_ * (h.reverser < 0 ? -1 : 1) : 0;
  const double friction = d_.resistance + std::max(0.0, -effort_);
  if (holding_ && traction != 0 && std::fabs(m.speed) >= heldSpeed_) {
    // The control gives what keeps the speed, up to the notch's traction.
    const double direction = std::copysign(1.0, m.speed);
    const double needed = std::clamp(d_.resistance - grade * direction, 0.0, std::fabs(traction));
    traction = direction * needed;
  }
  const double pull = grade + traction;
  if (m.speed == 0) {
    // At a stand, friction holds the train until the pull overcomes it.
    if (std::fabs(pull) <= friction) return;
    m.speed = (pull - std::copysign(friction, pull)) * dt;
  } else {
    const double speed = m.speed + (pull - std::copysign(friction, m.speed)) * dt;
    m.speed = std::signbit(speed) == std::signbit(m.speed) ? speed : 0.0;  // friction stops it
  }
  m.location += (before + m.speed) / 2 / 3.6 * dt;
}
