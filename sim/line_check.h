// Checks of the beacons against the line as the author knows it and the
// train that runs it: the line's own limits, the grades under the stopping
// and braking curves, and the timetable.
#pragma once

#include <string>
#include <vector>

#include "scenario.h"

// "file:line: warning: ...", by the line's order of things.
std::vector<std::string> CheckAgainstLine(const Scenario& scenario);

// Whether lint warns that the final braking misses the station's stop.
bool StopWarned(const Scenario& scenario, const Station& station);

// The final-braking style of a stop: the location code last passed before
// the station beacon that announces it.
int StyleOfStop(const Scenario& s, double stop);

// The final braking's notch by style for e km/h below the stopping curve:
// the host's own reading of the plug-in's tables.
int FinalBrakingNotch(int style, double e);
