#include "model/dynamics.h"

#include <algorithm>

TrainModel::TrainModel(const Dynamics& d, std::vector<Gradient> gradients)
    : d_(d), gradients_(std::move(gradients)) {
  double rise = 0;
  for (size_t i = 0; i < gradients_.size(); ++i) {
    if (i > 0) rise += gradients_[i - 1].permille * (gradients_[i].from - gradients_[i - 1].from);
    rises_.push_back(rise);
  }
}

double TrainModel::PermilleAt(double location) const {
  const auto after = std::upper_bound(gradients_.begin(), gradients_.end(), location,
                                      [](double at, const Gradient& g) { return at < g.from; });
  return after == gradients_.begin() ? 0.0 : std::prev(after)->permille;
}

double TrainModel::Rise(double location) const {
  const auto after = std::upper_bound(gradients_.begin(), gradients_.end(), location,
                                      [](double at, const Gradient& g) { return at < g.from; });
  if (after == gradients_.begin()) return 0;
  const size_t i = static_cast<size_t>(std::prev(after) - gradients_.begin());
  return rises_[i] + gradients_[i].permille * (location - gradients_[i].from);
}

double TrainModel::PermilleUnder(double front) const {
  if (d_.lengthMetres <= 0) return PermilleAt(front);
  return (Rise(front) - Rise(front - d_.lengthMetres)) / d_.lengthMetres;
}

double TrainModel::MeanPermille(double from, double to) const {
  return to > from ? (Rise(to) - Rise(from)) / (to - from) : PermilleAt(from);
}

double TrainModel::Grip() const {
  return Kmh((raining_ ? d_.wetAdhesion : d_.adhesion) * kGravity);
}

double TrainModel::Braking(int notch) const {
  const int last = static_cast<int>(d_.decelByNotch.size()) - 1;
  return std::min(d_.decelByNotch[std::clamp(notch, 0, last)], Grip());
}

double TrainModel::Resistance(double kmh) const {
  return d_.resistance + d_.resistanceLinear * kmh + d_.resistanceQuadratic * kmh * kmh;
}

double TrainModel::Fade(double kmh) const { return kmh > d_.baseSpeed ? d_.baseSpeed / kmh : 1; }

double TrainModel::Mass() const { return 1 + d_.load * d_.loadMass; }

double TrainModel::Pulled(double effort, double kmh) const {
  return std::min(effort * Fade(kmh) / Mass(), Grip());
}

double TrainModel::Traction(int notch, double kmh) const {
  return Pulled(std::max(0, notch) * d_.accelPerNotch, kmh);
}

// What the notches ask for: brake deceleration (negative), or traction.
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

// The effort past the dead time: a change waits out the brake's delay when
// it applies or releases the brake, else the power's.
double TrainModel::Delayed(double asked) {
  if (asked != asked_) {
    const bool brakes = asked < 0 || asked_ < 0;
    if (count_ == pending_.size()) Act();
    pending_[(first_ + count_++) % pending_.size()] = {
        clock_ + (brakes ? d_.brakeDelaySeconds : d_.powerDelaySeconds), asked};
    asked_ = asked;
  }
  while (count_ > 0 && pending_[first_].first <= clock_ + 1e-9)
    Act();  // whole frames, not rounding
  return applied_;
}

void TrainModel::Act() {
  applied_ = pending_[first_].second;
  first_ = (first_ + 1) % pending_.size();
  --count_;
}

void TrainModel::Step(TrainMotion& m, const ATS_HANDLES& h, double dt) {
  clock_ += dt;
  const double target = Delayed(NotchEffort(m, h));
  effort_ =
      d_.lagSeconds > 0 ? effort_ + (target - effort_) * std::min(1.0, dt / d_.lagSeconds) : target;
  const double before = m.speed;
  if (m.speed == 0 && h.brake > 0) return;  // the brakes hold a standing train

  // Along the line (km/h per second, positive forwards): the grade, and
  // traction in the reverser's direction.
  const double v = std::fabs(m.speed);
  const double grade = -GradeDrag(PermilleUnder(m.location));
  const double pulled = effort_ > 0 ? Pulled(effort_, v) : 0;
  double traction = h.reverser < 0 ? -pulled : pulled;
  const double braked = std::min(std::max(0.0, -effort_), Grip());
  const double running = Resistance(v);
  const double friction = running + braked;
  if (holding_ && traction != 0 && v >= heldSpeed_) {
    // The control gives what keeps the speed, up to the notch's traction.
    const double direction = std::copysign(1.0, m.speed);
    traction = direction * std::clamp(running - grade * direction, 0.0, std::fabs(traction));
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
  m.location += Ms((before + m.speed) / 2) * dt;
}

void TrainModel::Settle(const TrainMotion& m) {
  const double v = std::fabs(m.speed);
  const double push = Resistance(v) + GradeDrag(PermilleUnder(m.location));
  asked_ = applied_ = effort_ = push > 0 ? push * Mass() / Fade(v) : push;
}

void TrainModel::Frame(TrainMotion& m, const ATS_HANDLES& h, double seconds) {
  const int parts = static_cast<int>(std::ceil(seconds / kLongestStep));
  for (int i = 0; i < parts; ++i) Step(m, h, seconds / parts);
}
