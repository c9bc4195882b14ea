// Beacons laid out for a line as its author knows it: the stations, the
// line's limits and grades and the train. Each station's location code and
// approach speed are chosen by running the train into it over the sweep's
// conditions, the file's own and some between the sweep's, in worker
// processes.
#pragma once

#include <exception>
#include <string>
#include <vector>

#include "scenario/scenario.h"
#include "scenario/scenario_error.h"
#include "sweep/sweep_run.h"

// What was chosen for one station, and how its runs went.
struct StationLayout {
  const Station* station;
  int32_t code = 0;                // location code
  double approach = 0;             // km/h into the stop
  double stoppingPoint;            // m, where its stopping-point beacon stands
  long worstCm = 0, medianCm = 0;  // the worst is the error farthest from the stop
  int runs = 0;                    // runs tried, every candidate
  bool docks = false;              // the worst case within the docked window
  std::string why;                 // the choice in words, for the file's comment
};

struct Layout {
  std::vector<RouteBeacon> beacons;   // in location order, the author's kept ones among them
  std::vector<std::string> texts;     // by beacon: its named form
  std::vector<std::string> comments;  // by beacon: a station group's comment on its first
  std::vector<StationLayout> stations;
};

// A stop error in cm as the layout's table shows it: "+12", or "through"
// and "never" for a run that ran through the stop or never reached it.
std::string StopErrorText(long cm);

// The conditions each candidate is run over: the file's [sweep], or brakes
// ×0.95 to ×1.05, 30, 60 and 120 frames a second with jitter 0.2, two seeds,
// and empty and full when the train carries a load.
std::vector<SweepAxis> LayoutConditions(const Scenario& s);

// Settings between the sweep's: on each axis of numbers the midpoints next
// to its first and last values; one seed and one jitter. A choice that docks
// over the sweep only by the luck of its values misses some of these.
std::vector<SweepAxis> Between(const std::vector<SweepAxis>& axes);
// The sweep's corners: each axis of numbers at its least and greatest value,
// one seed and one jitter. A choice is run there first: the stops spread
// widest there, and one that misses a corner is not run further.
std::vector<SweepAxis> Corners(const std::vector<SweepAxis>& axes);

// The search stopped by the interruption its options watch: nothing is laid out.
class LayoutInterrupted : public std::exception {};

// Fails with ScenarioError where the line cannot be laid out (a stop that is
// no multiple of 25 m, a station with no limit to approach under).
Layout LayOut(const Scenario& s, const SweepOptions& o);
