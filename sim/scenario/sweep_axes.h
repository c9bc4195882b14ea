// A sweep: one line run over every combination of a few train and host
// settings, as players' trains and machines differ.
#pragma once

#include <string>
#include <vector>

#include "scenario/scenario.h"

// The settings a sweep may vary, with the range of each.
struct SweepKey {
  const char* name;
  double low, high;
  const char* unit;
};
inline constexpr SweepKey kSweepKeys[] = {
    {"brake_scale", 0.1, 10, "(times decel_by_notch)"},
    {"accel_scale", 0.1, 10, "(times accel_per_notch)"},
    {"load", 0, 1, "(empty to full)"},
    {"adhesion", 0.01, 1, "(a share of g)"},
    {"brake_delay", 0, 5, "s"},
    {"lag", 0, 10, "s"},
    {"time_step", 0.001, 1, "s"},
    {"time_step_jitter", 0, 0.99, ""},
    {"seed", 0, 4294967295.0, ""},
};

// A combination: the index of a value on each axis.
using SweepPoint = std::vector<size_t>;

// Every combination, the first axis changing slowest.
std::vector<SweepPoint> Combinations(const std::vector<SweepAxis>& axes);
// The scenario with a combination's settings.
Scenario Apply(const Scenario& s, const std::vector<SweepAxis>& axes, const SweepPoint& p);
// "brake_scale 0.9, time_step 0.0333, seed 2"
std::string Describe(const std::vector<SweepAxis>& axes, const SweepPoint& p);
