// The plug-in's brake and power outputs as every line of the run's log
// names them: "brake 8 power 0".
#pragma once

#include <fmt/format.h>

#include <string>

#include "atsplugin.h"

inline std::string HandlesText(const ATS_HANDLES& h) {
  return fmt::format("brake {} power {}", h.brake, h.power);
}
