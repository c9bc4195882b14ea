// The run as lint forecasts it: the run's own train model, frame by frame,
// under automatic driving's notches and the limits, braking curves and
// stopping curves the beacons give as the train passes them; at each
// station the doors' dwell, the cab's countdown and the driver's start key.
#pragma once

#include <vector>

#include "model/limit_watch.h"
#include "scenario/scenario.h"

// When the train is expected at a station at the earliest, in seconds of
// the day.
struct StationTime {
  const Station* station;
  double arrives;  // comes to a stand
  double ready;    // the start key could be pressed, the timetable aside
  double leaves;   // moves off, the timetable kept
  double stood;    // m where the train first came to a stand there, before any closing up
};

struct ForecastedRun {
  // The stations from the run's start on, in order, as far as the train is
  // expected to reach and leave them; the last, not reached, with its times NaN.
  std::vector<StationTime> stations;
  // Where it is expected to run above the line's limits.
  std::vector<Overspeed> overspeeds;
};

ForecastedRun ForecastRun(const Scenario& s);
