// Checks of the beacons against the line as the author knows it and the
// train that runs it: the line's own limits, the grades under the stopping
// and braking curves, and the timetable.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "scenario/scenario.h"

// "file:line: warning: ...", by the line's order of things.
std::vector<std::string> CheckAgainstLine(const Scenario& scenario);

// Metres beyond the station's stop (negative: short) where lint expects the
// final braking to stand the train; none where the station lies off the run
// or the train creeps in.
std::optional<double> ForecastStopError(const Scenario& scenario, const Station& station);

// Whether lint warns that the final braking misses the station's stop.
bool StopWarned(const Scenario& scenario, const Station& station);
