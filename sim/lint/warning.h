// A lint warning as every check words it.
#pragma once

#include <string>

#include "scenario/scenario.h"

// "file:line: warning: message", or "file (--set): ..." for a table set on
// the command line.
std::string Warning(const Scenario& s, int line, const std::string& message);

// "line 12", or "--set" for a value set on the command line.
std::string LineName(int line);
