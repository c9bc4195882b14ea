// Checks of the beacons against the line as the author knows it and the
// train that runs it: the line's own limits, the grades under the stopping
// and braking curves, and the timetable.
#pragma once

#include <string>
#include <vector>

#include "scenario/scenario.h"

// "file:line: warning: ...", by the line's order of things.
std::vector<std::string> CheckAgainstLine(const Scenario& scenario);

// Whether lint warns that the final braking misses the station's stop.
bool StopWarned(const Scenario& scenario, const Station& station);
