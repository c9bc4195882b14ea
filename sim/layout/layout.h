// Beacons laid out for a line as its author knows it: the stations, the
// line's limits and grades and the train. Each station's location code,
// approach speed and approach curve are chosen by running the train into
// it over the sweep the layout writes with the file, in worker processes.
#pragma once

#include <string>
#include <vector>

#include "scenario/scenario.h"
#include "scenario/scenario_error.h"
#include "sweep/sweep_run.h"

// What was chosen for one station, and how its runs went.
struct StationLayout {
  const Station* station = nullptr;
  int32_t code = 0;                // location code
  double approach = 0;             // km/h into the stop
  double curveEnd = 0;             // m before the stop where its approach curve ends; 0: none
  double stoppingPoint = 0;        // m, where its stopping-point beacon stands
  std::vector<long> errors;        // cm where the train first stood in each run judged
  long worstCm = 0, medianCm = 0;  // the worst is the error farthest from the stop
  int closedUp = 0;                // runs the driver closed up
  int runs = 0;                    // runs tried, every candidate
  bool docks = false;              // every run judged docked, by the train itself
  std::string why;                 // the choice in words, for the file's comment
};

struct Layout {
  std::vector<RouteBeacon> beacons;   // in location order, the author's kept ones among them
  std::vector<std::string> texts;     // by beacon: its named form
  std::vector<std::string> comments;  // by beacon: a station group's comment on its first
  std::vector<StationLayout> stations;
  std::vector<SweepAxis> sweep;  // the runs the written line was judged by
  int runsAboveALimit = 0;       // of those runs of the written line
};

// A stop error in cm as the layout's table shows it: "+12", or "through"
// and "never" for a run that ran through the stop or never reached it.
std::string StopErrorText(long cm);

// The conditions each candidate is run over, before the midpoints: the
// file's [sweep], or brakes ×0.95 to ×1.05, 30, 60 and 120 frames a second
// with jitter 0.2, two seeds, and empty and full when the train carries a load.
std::vector<SweepAxis> LayoutConditions(const Scenario& s);

// Fails with ScenarioError where the line cannot be laid out (a stop that
// is no multiple of 25 m, a stretch with no limit), and throws
// LayoutInterrupted once the options' flag is set. The options' progress,
// if any, hears of each station begun: (its index, the stations).
Layout LayOut(const Scenario& s, const SweepOptions& o);
