// The report page of a sweep: its worst combination run again with every
// frame kept, the sweep's stops above it.
#pragma once

#include <string>

#include "sweep/sweep_run.h"

// The report page of one combination's run, made in a worker of its own,
// with the sweep's stops (SweepReportData) above it; empty with `failure`
// set when the worker failed.
std::string SweepReportPage(const Scenario& s, const SweepOptions& o, const SweepPoint& point,
                            const std::string& sweepData, std::string& failure);
