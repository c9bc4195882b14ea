// Where the train ran above the line's own limits: the lowest limit under
// any part of it, front to rear, by more than the run's margin.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/line_limits.h"

// A stretch run above one limit.
struct Overspeed {
  const LineLimit* limit;
  double fromMetres, toMetres;  // where the front was, first and last
  double topKmh;
};

// "ran 71 km/h through the 30 km/h limit from 3700 to 3900 m (+41 km/h)"
std::string Describe(const Overspeed& o);

class LimitWatch {
 public:
  // The line's limits, the train's length, and how far above a limit a
  // train may run unreported.
  LimitWatch(const std::vector<LineLimit>& limits, double lengthMetres, double marginKmh);

  // Each frame, with where the front is and the speed.
  void Watch(double front, double speedKmh);
  // The limit over the train in this frame, or null.
  const LineLimit* InForce() const { return inForce_; }
  std::vector<Overspeed> Take();

 private:
  const std::vector<LineLimit>& limits_;
  double length_, margin_;
  const LineLimit* inForce_ = nullptr;
  std::optional<Overspeed> open_;
  std::vector<Overspeed> stretches_;
};
