// The trial scenario of one station: the line from the stop before it,
// the train leaving under the departure's limit, with a candidate's
// section of beacons and the author's kept ones.
#pragma once

#include <vector>

#include "layout/placement.h"
#include "scenario/scenario.h"

// m: a platform grade tried where nothing docks runs this far into the stop.
constexpr double kPlatformMetres = 400;

// The line from the stop before station k to just past it, with `section`.
Scenario Segment(const Placement& line, size_t k, const Approach& a, const Section& section);

// The line's grades with `metres` from `from` at `permille`, the grade
// there kept past them.
std::vector<Gradient> WithGrade(const std::vector<Gradient>& grades, double from, double metres,
                                double permille);
