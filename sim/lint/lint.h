// Lint: a route's faults found before it is run, from the beacons against
// one another and against the line and the train. Each warning names the
// scenario line and the fix.
#pragma once

#include <string>
#include <vector>

#include "scenario/scenario.h"

// "file:line: warning: ...": the beacons' own order first, then the line's,
// then where the run cannot go on.
std::vector<std::string> Lint(const Scenario& scenario);
