#include "model/gain.h"

#include <algorithm>
#include <cmath>

#include "model/auto_driving.h"
#include "model/units.h"

Gain::Gain(const Dynamics& d, const std::vector<Gradient>& grades, double from, double to,
           double kmh, const std::function<double(double)>& limitAt)
    : from_(from) {
  const TrainModel train(d, grades);
  double v = kmh;
  for (double x = from; x <= std::min(to, from + kFarthest); x += 1) {
    const double limit = limitAt(x);
    v = std::min(v, limit);
    kmh_.push_back(v);
    const double gain = train.Traction(auto_driving::PowerNotch(v, limit - v), v) -
                        train.Resistance(v) - TrainModel::GradeDrag(train.PermilleUnder(x));
    v = SpeedAfterBraking(v, -Ms(gain), 1);  // braking backwards: gaining; held where it arrives
  }
}

double Gain::At(double location) const {
  if (kmh_.empty()) return INFINITY;
  if (location < from_) return kmh_.front();
  const auto i = static_cast<size_t>(std::ceil(location - from_));  // the metre's end: at most
  return i < kmh_.size() ? kmh_[i] : INFINITY;
}
