// The limits the beacons give from one stop to the next: the line's limits
// under the train's whole length as steps, each fall reached by a braking
// curve that ends where the lower limit starts, and a step lowered where the
// curve down from it would not fit before the next.
#pragma once

#include <functional>
#include <vector>

#include "model/line_limits.h"

// A limit in force from where the train's front is.
struct Step {
  double from;  // m
  double kmh;
};

// m a braking curve from u to w km/h ending at a location takes, its margin in.
using CurveRun = std::function<double(double u, double w, double end)>;

// m: a braking curve starts at least this far past the beacon before it.
constexpr double kStepGap = 5;

// The lowest of the line's limits under a train `length` long whose front
// runs from `from` to `to`: a limit holds from where the front enters it
// until the rear has left the one before. Null where no limit holds.
std::vector<Step> BodyLimits(const std::vector<LineLimit>& limits, double length, double from,
                             double to);

// The steps lowered, from the last back, until each fall's braking curve
// fits between the step before it and the fall, in 5 km/h steps; steps of
// one limit merged. The first step's curves may start at `firstRoom`.
// False where the first step would fall below `floor`.
bool Fit(std::vector<Step>& steps, double firstRoom, double floor, const CurveRun& run);

// The limit of the step in force at a location; the first's before it.
double KmhAt(const std::vector<Step>& steps, double at);

// The lowest limit of the steps from a location on.
double LowestFrom(const std::vector<Step>& steps, double from);
