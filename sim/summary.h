// What a run printed: the timeline of events and the stop summary.
#pragma once

#include <cstdio>
#include <string>

#include "simulator.h"

void PrintTimeline(std::FILE* out, const RunResult& run);
void PrintStopSummary(std::FILE* out, const RunResult& run);
void PrintInterventions(std::FILE* out, const RunResult& run);

// A stop is made when the train came to rest within the docked window.
bool StopMade(const StopRecord& stop);

// Why a stop was missed, in words; empty for a stop made.
std::string MissedBecause(const StopRecord& stop, const RunResult& run);
