// The beacons the layout places between two stops: the limits the line
// lets the train keep over its whole length, with the braking curves that
// reach each lower one, and the station's group: a braking curve down to
// the approach, the location code, and the stopping-point and station
// beacons where the curve ends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "layout/limit_plan.h"
#include "model/dynamics.h"
#include "model/gain.h"
#include "scenario/scenario.h"

// A beacon with its named form as the written file gives it.
struct Placed {
  RouteBeacon beacon;
  std::string text;
};

Placed Make(double location, int32_t type, int64_t optional, std::string text);
Placed CodeBeacon(double at, int32_t code);
Placed SpeedLimit(double at, double kmh);

// m: a station this near the run's start is where the run starts.
constexpr double kAtTheStart = 0.5;
// Station k lies behind the run's start: the train never comes to it.
bool BehindTheStart(const Scenario& s, size_t k);
// The name of the stop before station k: the station's, or "the start"
// where there is none or it lies behind the start.
std::string StopBeforeName(const Scenario& s, size_t k);

// Whether the layout places beacons of this type: the author's own are dropped.
bool Laid(const ATS_BEACONDATA& b);
// The constant-speed holding a held creep runs under, to its final braking.
Placed HoldingOption(double at);

// A door side's codes from the code table, style 1 first. No code opens
// no doors: with no side, the left's style 1 and the right's own style.
std::vector<int32_t> Codes(int32_t side);
// The codes of the styles only the other door side has.
std::vector<int32_t> OtherSidesStyles(int32_t side);

// km/h: the slowest a braking curve brings the train to. An approach
// slower than this is a creep: the curve ends at it, and the station
// beacon's limit slows the train on to the creep, held steady into the
// final braking, whose stop then spreads least.
constexpr double kSlowestCurve = 10;
constexpr bool Creeps(double kmh) { return kmh < kSlowestCurve; }
// m before a stop: the departure's limit, given where the stopping curve governs.
constexpr double kDepartureBefore = 3;

// How the train runs into a stop: the limit it comes in under, and where
// the braking curve down to it ends and the station's group stands.
struct Approach {
  int32_t code;
  double kmh;
  double before;  // m before the stop
  // m before the stop the departure's limit is given: where a creep's
  // final braking starts, unless the stopping curve governs sooner.
  double departureBefore = kDepartureBefore;
  // A creep held at its speed by the host's constant-speed control, so
  // that it comes into the final braking at one speed in every run.
  bool held = false;
};

// The beacons from the stop before to the stop, and the limit that stop
// gives the departure.
struct Section {
  std::vector<Placed> beacons;  // in location order
  double departure;             // km/h
  bool shaped;                  // the approach has a curve or a rise at the group
  double curveEnd = 0;          // m before the stop the curve down to the approach ends; 0: none
};

class Placement {
 public:
  // Fails with ScenarioError where the line cannot be laid out: a stop off
  // the stopping points' grid, a station without a departure, a stretch
  // with no limit.
  // `gaining`: the train of the runs that gains speed fastest, by which
  // each braking curve starts; the line's own where not given.
  Placement(const Scenario& s, double frameMetresPerKmh,
            const std::optional<Dynamics>& gaining = std::nullopt);

  const Scenario& Line() const { return s_; }
  double Stop(size_t k) const { return s_.stations[k].stop; }
  double Previous(size_t k) const {
    return k > 0 && !BehindTheStart(s_, k - 1) ? Stop(k - 1) : s_.startLocation;
  }
  // Where the stretch after stop k ends: the next stop, or the line's end.
  double Next(size_t k) const;

  // The fastest the train may come into stop k: the lowest limit under
  // it to the stop, and no faster than the stop's departure.
  double FastestApproach(size_t k) const;
  // m before stop k where the stopping curve from v km/h for a code begins.
  double OwnCurve(int32_t code, double kmh) const;
  // The fastest departure from stop k the beacons can give.
  double FastestDeparture(size_t k) const { return departures_[k]; }

  // The location code in force as the train leaves for stop k: the last
  // of the stop before's group, as laid out so far, or, where the run
  // starts off a station, the approach's own.
  int32_t CodeLeavingFor(size_t k, const Approach& a) const;
  // Station k laid out with this approach.
  void Chose(size_t k, const Approach& a);

  // The beacons from stop k - 1 to stop k for an approach, the stop before
  // giving its departure no slower than `floor`; none where they cannot.
  std::optional<Section> Plan(size_t k, const Approach& a, double floor) const;
  // The limits past stop k to the line's end, no slower than `floor`.
  Section Tail(size_t k, double floor) const;

  // The group at a stop the train starts from, its door side's style 1.
  std::vector<Placed> StartGroup(size_t k, double departure) const;
  // The limit stop k gives its departure, `before` m before it, where its
  // approach's is another.
  Placed DepartureLimit(size_t k, double kmh, double before) const;
  // That station k can be given a stopping-point and a station beacon, or
  // the ScenarioError that says why not.
  void Check(size_t k) const;
  // Where the run starts off any station: station k's location code, the
  // cab aimed at its stop and a limit to depart with, without all of which
  // the cab shows no departure.
  std::vector<Placed> OpenLineStart(size_t k, int32_t code, double departure) const;

 private:
  double Run(double u, double w, double end) const;
  double Run(double u, double w, double end, const Gain& gain) const;
  // The curves' run in the section into stop k; past the last stop, with k
  // the number of stations.
  CurveRun CurveRunInto(size_t k) const;
  std::vector<Step> Steps(double from, double to, double held) const;
  std::vector<Placed> Limits(const std::vector<Step>& steps, const CurveRun& run) const;
  Placed StoppingPoint(size_t k, double at) const;
  Placed StationBeacon(size_t k, double at, double limit) const;

  const Scenario& s_;
  TrainModel grades_;
  double frame_;                    // m a frame carries the train a km/h, at most
  std::vector<double> departures_;  // by station
  std::vector<int32_t> leaving_;    // by station: the code in force as the train leaves it
  std::vector<Gain> gains_;         // by section: into each station, then past the last
};
