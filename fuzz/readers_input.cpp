#include "readers_input.h"

#include <algorithm>
#include <sstream>
#include <string>

#include "call_log.h"
#include "fresh_library.h"
#include "host/simulator.h"
#include "lint/lint.h"
#include "scenario/reader.h"

// A scenario read is also route-checked and run, for at most a simulated
// minute at no more than 30 frames a second, through the plug-in.
bool ReadScenarioBytes(const uint8_t* data, size_t size) {
  try {
    Scenario s = ParseScenario(std::string(reinterpret_cast<const char*>(data), size), "fuzz");
    Lint(s);
    s.maxSeconds = std::min(s.maxSeconds, 60.0);
    s.timeStep = std::max(s.timeStep, 1.0 / 30);
    for (Pause& p : s.pauses) p.seconds = std::min(p.seconds, 1.0);
    FreshLibrary();
    RunScenario(s, LinkedApi());
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
