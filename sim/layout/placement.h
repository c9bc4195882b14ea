// The beacons the layout places: the line's limit beacons with the braking
// curves they start, and each station's group of stopping-point, location
// and station beacons, clear of those curves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scenario/scenario.h"

// km/h: an approach below it creeps in, settling at its speed first.
constexpr double kLowestApproach = 30;

// A beacon with its named form as the written file gives it.
struct Placed {
  RouteBeacon beacon;
  std::string text;
};

Placed Make(double location, int32_t type, int64_t optional, std::string text);
Placed CodeBeacon(double at, int32_t code);

// Whether the layout places beacons of this type: the author's own are dropped.
bool Laid(int32_t type);

// A door side's codes from the code table, style 1 first. No code opens
// no doors: with no side, the left's style 1 and the right's own style.
std::vector<int32_t> Codes(int32_t side);
// The codes of the styles only the other door side has.
std::vector<int32_t> OtherSidesStyles(int32_t side);

class Placement {
 public:
  // Lays the line's limit beacons; fails with ScenarioError where a
  // location has no limit.
  explicit Placement(const Scenario& s);

  const Scenario& Line() const { return s_; }
  const std::vector<Placed>& Limits() const { return limits_; }
  double Stop(size_t k) const { return s_.stations[k].stop; }
  double Previous(size_t k) const { return k > 0 ? Stop(k - 1) : s_.startLocation; }
  double LimitAt(double x) const;
  // The limit the laid-out limit beacons give just before a stop.
  double BeaconLimit(double stop) const;

  // The group at a stop the train starts from, its door side's style 1.
  std::vector<Placed> StartGroup(size_t k) const;
  // The station group for an approach at v km/h with a location code; none
  // where it cannot fit.
  std::optional<std::vector<Placed>> Group(size_t k, int32_t code, double v) const;

 private:
  // The run of a braking curve: no stopping-point or speed-limit beacon within.
  struct Span {
    double from, to;
  };

  void LineLimits();
  double Postponed(double raise, double kmh) const;
  Placed StoppingPoint(size_t k, double at) const;
  void CheckStep(size_t k) const;
  Placed StationBeacon(size_t k, double at, double limit) const;
  double Lowest(double x) const;
  bool Crosses(double from, double to, double line) const;
  bool Inside(double x) const;

  const Scenario& s_;
  double length_;
  std::vector<Placed> limits_;
  std::vector<Span> spans_;
};
