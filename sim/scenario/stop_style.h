// The final-braking style a stop is made with, read off the route's beacons.
#pragma once

#include "scenario/scenario.h"

// The location code last passed before the station beacon that announces
// the stop gives the style.
int StyleOfStop(const Scenario& s, double stop);
