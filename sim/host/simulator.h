// The host loop: the plug-in's lifecycle, frames with beacons, timeline
// actions and doors, and what came of the run.
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/interventions.h"
#include "model/limit_watch.h"
#include "host/stops.h"
#include "host/timeline.h"
#include "host_call.h"
#include "model/clock_text.h"
#include "scenario/scenario.h"

struct FrameRow {
  int32_t timeMs;
  double location;
  double speed;
  double permille;         // the mean grade under the train
  const LineLimit* limit;  // the line's own limit over the train, or null
  ATS_HANDLES handles;
  const int32_t* panel;
  const Intervention* intervention;  // one counted in this frame, or null
};

enum class RunEnd { EndOfLine, Terminus, MaxDuration, Stalled, Interrupted };

struct RunResult {
  std::vector<RunEvent> events;
  std::vector<StopRecord> stops;
  long frames = 0;
  int32_t startTimeMs = 0, endTimeMs = 0;
  double endLocation = 0;
  RunEnd end = RunEnd::MaxDuration;
  std::string stall;  // "stalled at 2148.9 m: stopped 1.11 m short of Birchfield, ..."
  std::vector<Intervention> interventions;
  std::vector<Overspeed> overspeeds;  // above the line's own limits
};

struct RunHooks {
  std::function<void(const FrameRow&)> frame;                     // every frame, after Elapse
  std::function<void(double fraction, int32_t timeMs)> progress;  // now and then
  const volatile std::sig_atomic_t* interrupted = nullptr;        // ends the run when set
  bool keepGoing = false;          // a missed stop is mended by the host, not the end of the run
  bool untilTheLastDoors = false;  // the run ends as the doors open at the last stop
};

RunResult RunScenario(const Scenario& scenario, const PluginApi& api, const RunHooks& hooks = {});
