// Layouts of beacons that the plug-in lives with but that wreck a stop, found
// before the run: each warning names the scenario line and the fix.
#pragma once

#include <string>
#include <vector>

#include "scenario.h"

// "file:line: warning: ...", in the order of the beacons.
std::vector<std::string> CheckRoute(const Scenario& scenario);

// "file:line: warning: message", or "file (--set): ..." for a table set on
// the command line.
std::string Warning(const Scenario& s, int line, const std::string& message);
