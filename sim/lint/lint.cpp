#include "lint/lint.h"

#include "lint/line_check.h"
#include "lint/reach_check.h"
#include "lint/route_check.h"

std::vector<std::string> Lint(const Scenario& s) {
  std::vector<std::string> warnings = CheckBeacons(s);
  for (std::string& w : CheckAgainstLine(s)) warnings.push_back(std::move(w));
  for (std::string& w : CheckReach(s)) warnings.push_back(std::move(w));
  return warnings;
}
