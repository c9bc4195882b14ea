#include "model/limit_watch.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "model/stretch_text.h"

std::string Describe(const Overspeed& o) {
  return fmt::format("ran {:.0f} km/h through the {:.0f} km/h limit {} (+{:.0f} km/h)", o.topKmh,
                     o.limit->kmh, StretchText(o.fromMetres, o.toMetres), o.topKmh - o.limit->kmh);
}

LimitWatch::LimitWatch(const std::vector<LineLimit>& limits, double lengthMetres, double marginKmh)
    : limits_(limits), length_(lengthMetres), margin_(marginKmh) {}

void LimitWatch::Watch(double front, double speedKmh) {
  inForce_ = LowestOver(limits_, front - length_, front);
  const double speed = std::fabs(speedKmh);
  const bool over = inForce_ != nullptr && speed > inForce_->kmh + margin_;
  if (open_ && (!over || open_->limit != inForce_)) stretches_.push_back(*std::exchange(open_, {}));
  if (!over) return;
  if (!open_) open_ = Overspeed{inForce_, front, front, speed};
  open_->toMetres = front;
  open_->topKmh = std::max(open_->topKmh, speed);
}

std::vector<Overspeed> LimitWatch::Take() {
  if (open_) stretches_.push_back(*std::exchange(open_, {}));
  return std::move(stretches_);
}
