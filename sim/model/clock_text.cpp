#include "model/clock_text.h"

#include <fmt/format.h>

std::string FormatDuration(int64_t ms) {
  const int64_t s = (ms + 500) / 1000;
  const int64_t days = s > 86400 ? s / 86400 : 0, hours = s / 3600 - days * 24;
  const std::string clock = fmt::format("{:02}:{:02}:{:02}", hours, s / 60 % 60, s % 60);
  return days > 0 ? fmt::format("{} d {}", days, clock) : clock;
}

std::string FormatTime(int32_t ms) {
  const int32_t day = ((ms % 86400000) + 86400000) % 86400000;
  return fmt::format("{:02}:{:02}:{:02}.{:03}", day / 3600000, day / 60000 % 60, day / 1000 % 60,
                     day % 1000);
}
