// The host loop: the plug-in's lifecycle, frames with beacons, timeline
// actions and doors, and what came of the run.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host_call.h"
#include "scenario.h"

struct RunEvent {
  int32_t timeMs;
  double location;
  double speed;
  std::string text;
};

struct StopRecord {
  const Station* station;
  std::optional<double> stoppedAt;
  std::optional<int32_t> arrivalMs, doorsOpenMs, doorsClosedMs, departureMs;
};

struct FrameRow {
  int32_t timeMs;
  double location;
  double speed;
  ATS_HANDLES handles;
  const int32_t* panel;
};

struct RunResult {
  std::vector<RunEvent> events;
  std::vector<StopRecord> stops;
  long frames = 0;
  int32_t endTimeMs = 0;
  double endLocation = 0;
};

struct RunHooks {
  std::function<void(const FrameRow&)> frame;                     // every frame, after Elapse
  std::function<void(double fraction, int32_t timeMs)> progress;  // now and then
};

RunResult RunScenario(const Scenario& scenario, const PluginApi& api, const RunHooks& hooks = {});

// "08:00:05.250"
std::string FormatTime(int32_t ms);
