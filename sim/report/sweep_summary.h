// What a sweep shows: per station the stops of every run and the worst
// combination; the limits broken, the stalls and the failed workers.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "scenario/scenario.h"
#include "sweep/sweep_run.h"

void PrintSweepSummary(std::FILE* out, const Scenario& s, const std::vector<SweptRun>& runs);
// Whether any run missed a stop, stalled, broke a limit or failed.
bool SweepFailed(const std::vector<SweptRun>& runs);
// The combination whose run went worst: a failure, a stall, a limit broken
// or a missed stop before the largest stop error.
const SweptRun& WorstRun(const std::vector<SweptRun>& runs);
// Every run's stop error by station, for the report, as JSON.
std::string SweepReportData(const Scenario& s, const std::vector<SweptRun>& runs);
// One row per run and station.
std::string SweepCsv(const Scenario& s, const std::vector<SweptRun>& runs);
