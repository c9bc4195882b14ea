// Reads a scenario file: every fault reported as file:line: key.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "scenario/scenario.h"
#include "scenario/scenario_error.h"

// Reads and checks a scenario file, with keys set from the command line
// ("dynamics.lag=0.8", the value as TOML) over the file's; throws ScenarioError.
Scenario LoadScenario(const std::string& path, const std::vector<std::string>& overrides = {});
Scenario ParseScenario(std::string_view text, const std::string& path,
                       const std::vector<std::string>& overrides = {});
