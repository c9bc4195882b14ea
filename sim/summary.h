// What a run printed: the timeline of events and the stop summary.
#pragma once

#include <cstdio>

#include "simulator.h"

void PrintTimeline(std::FILE* out, const RunResult& run);
void PrintStopSummary(std::FILE* out, const RunResult& run);

// A stop is made when the train came to rest within the docked window.
bool StopMade(const StopRecord& stop);
constexpr double kDockedWindow = 0.5;  // metres either side of the stopping point
