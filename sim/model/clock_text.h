// Times of day and lengths of time as the outputs write them.
#pragma once

#include <cstdint>
#include <string>

// "08:00:05.250", the time of day
std::string FormatTime(int32_t ms);
// "08:00:05", the time of day to the whole second
inline std::string FormatClock(int32_t ms) { return FormatTime(ms).substr(0, 8); }
// "00:07:53", to the nearest second; a day is "24:00:00", and beyond it
// "2 d 03:04:05": a length of time
std::string FormatDuration(int64_t ms);
