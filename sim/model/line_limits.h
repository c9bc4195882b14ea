// The line's own speed limits, as the track has them: the line speed,
// curves, crossovers. The beacons tell the plug-in its limits; these are
// what the run and the checks hold the beacons and the train to.
#pragma once

#include <vector>

// A limit from a location on, until the next one; none before the first.
struct LineLimit {
  double from;  // m
  double kmh;
  int line;  // in the scenario file
};

// The limit in force at a location, or null before the first.
const LineLimit* LimitAt(const std::vector<LineLimit>& limits, double location);
// The lowest limit anywhere from rear to front: what a train standing over
// them all must keep to. Null when none holds there.
const LineLimit* LowestOver(const std::vector<LineLimit>& limits, double rear, double front);
