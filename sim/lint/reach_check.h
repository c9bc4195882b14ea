// Where the run cannot go on: a start the train never leaves, a platform on
// a rise the first power notch cannot pull it up, a stop beyond the run's end.
#pragma once

#include <string>
#include <vector>

#include "scenario/scenario.h"

// "file:line: warning: ...": the start first, then the stations in order.
std::vector<std::string> CheckReach(const Scenario& scenario);
