#include "lint/warning.h"

#include <fmt/format.h>

std::string Warning(const Scenario& s, int line, const std::string& message) {
  if (line == 0) return fmt::format("{} (--set): warning: {}", s.path, message);
  return fmt::format("{}:{}: warning: {}", s.path, line, message);
}

std::string LineName(int line) { return line > 0 ? fmt::format("line {}", line) : "--set"; }
