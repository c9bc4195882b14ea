// Stretches of the line as the outputs write them.
#pragma once

#include <fmt/format.h>

#include <cmath>
#include <string>

// "from 1500 to 1820 m", or "at 1500 m" for a stretch that is a point to
// the metre.
inline std::string StretchText(double from, double to) {
  if (std::lround(from) == std::lround(to)) return fmt::format("at {:.0f} m", from);
  return fmt::format("from {:.0f} to {:.0f} m", from, to);
}
