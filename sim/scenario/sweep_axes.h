// A sweep: one line run over every combination of a few train and host
// settings, as players' trains and machines differ.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "scenario/scenario.h"

constexpr size_t kMostCombinations = 100000;  // in one sweep

// A combination: the index of a value on each axis.
using SweepPoint = std::vector<size_t>;

// How many combinations the axes make.
size_t CombinationCount(const std::vector<SweepAxis>& axes);
// Every combination, the first axis changing slowest.
std::vector<SweepPoint> Combinations(const std::vector<SweepAxis>& axes);
// The scenario with a combination's settings, each set as its key says
// (scenario/keys.h).
Scenario Apply(const Scenario& s, const std::vector<SweepAxis>& axes, const SweepPoint& p);
// "brake_scale 0.9, time_step 0.0333, seed 2"
std::string Describe(const std::vector<SweepAxis>& axes, const SweepPoint& p);
// The combination that scores most, found an axis at a time: each axis in
// turn set to its value that scores most with the axes before it so set
// and the rest at their first. Exact where each axis acts on its own.
SweepPoint MostScoring(const std::vector<SweepAxis>& axes,
                       const std::function<double(const SweepPoint&)>& score);
