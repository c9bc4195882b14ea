// The line as a scenario file gives it: gradients, stations and beacons.
#pragma once

#include "scenario/scenario.h"
#include "scenario/toml_reader.h"

// Reads the line's arrays of the file's root table into the scenario.
void ReadLine(const Reader& r, const toml::table& root, Scenario& s);
