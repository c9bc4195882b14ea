#include "readers_input.h"

#include <sstream>
#include <string>

#include "call_log.h"
#include "route_check.h"
#include "scenario.h"

bool ReadScenarioBytes(const uint8_t* data, size_t size) {
  try {
    const Scenario s = ParseScenario(std::string(reinterpret_cast<const char*>(data), size), "fuzz");
    CheckRoute(s);
  } catch (const ScenarioError&) {
  } catch (...) {
    return false;
  }
  return true;
}

bool ReadCallLogBytes(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  try {
    ReadCallLog(in);
  } catch (const CallLogError&) {
  } catch (...) {
    return false;
  }
  return true;
}
