// The trial scenario of one station: the line from the stop before it,
// with the line's limit beacons, the author's kept ones and a candidate's
// station group, run over the layout's conditions.
#pragma once

#include <vector>

#include "layout/placement.h"
#include "scenario/scenario.h"

// m: a platform grade tried where nothing docks runs this far into the stop.
constexpr double kPlatformMetres = 400;

// The line from the stop before station k to just past it, with `group`.
Scenario Segment(const Placement& line, size_t k, const std::vector<Placed>& group,
                 const std::vector<SweepAxis>& conditions);

// The line's grades with the last kPlatformMetres into stop k at `permille`.
std::vector<Gradient> WithPlatform(const Scenario& s, size_t k, double permille);
