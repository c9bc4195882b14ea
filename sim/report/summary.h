// What a run printed: the timeline of events and the stop summary.
#pragma once

#include <cstdio>
#include <string>

#include "host/simulator.h"

void PrintTimeline(std::FILE* out, const RunResult& run);
void PrintStopSummary(std::FILE* out, const RunResult& run);
void PrintInterventions(std::FILE* out, const RunResult& run);
