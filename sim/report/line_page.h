// The page of a line laid out: its limits against what the written beacons
// allow, its profile, each station's stops over the sweep against the docked
// window with the choice and the verdict, and every beacon placed.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

// The page as text, self-contained; `line` as the page reads it: title,
// window (cm), runs, runsAboveALimit, stations (name, stop, docks, why,
// errors: cm or null), beacons (location, text, comment) and profile
// (location, declared, underTrain, front, rear, height, gradient).
std::string RenderLinePage(const nlohmann::json& line);
