// Layouts of beacons that the plug-in lives with but that wreck a stop, found
// from the beacons alone: each warning names the scenario line and the fix.
#pragma once

#include <string>
#include <vector>

#include "scenario/scenario.h"

// "file:line: warning: ...", in the order of the beacons.
std::vector<std::string> CheckBeacons(const Scenario& scenario);
