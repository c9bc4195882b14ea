// The host loop: the plug-in's lifecycle, frames with beacons, timeline
// actions and doors, and what came of the run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host_call.h"
#include "interventions.h"
#include "scenario.h"
#include "stops.h"
#include "timeline.h"

struct FrameRow {
  int32_t timeMs;
  double location;
  double speed;
  double permille;  // grade under the train
  ATS_HANDLES handles;
  const int32_t* panel;
  const Intervention* intervention;  // one counted in this frame, or null
};

enum class RunEnd { EndOfLine, Terminus, MaxDuration, Stalled };

struct RunResult {
  std::vector<RunEvent> events;
  std::vector<StopRecord> stops;
  long frames = 0;
  int32_t endTimeMs = 0;
  double endLocation = 0;
  RunEnd end = RunEnd::MaxDuration;
  std::string stall;  // "stalled at 2148.9 m: stopped 1.11 m short of Birchfield, ..."
  std::vector<Intervention> interventions;
};

struct RunHooks {
  std::function<void(const FrameRow&)> frame;                     // every frame, after Elapse
  std::function<void(double fraction, int32_t timeMs)> progress;  // now and then
};

RunResult RunScenario(const Scenario& scenario, const PluginApi& api, const RunHooks& hooks = {});

// "08:00:05.250"
std::string FormatTime(int32_t ms);
