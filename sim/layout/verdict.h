// The verdict in words: how a station's chosen runs went, why its stop
// docks or not, and the platform grade that would dock one that does not.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "layout/trials.h"
#include "scenario/scenario.h"

// The gentlest platform grade that docks `best`, in words, where its stops
// all fall short or all beyond and spread no wider than the window.
std::optional<std::string> PlatformThatDocks(const Trials& trials, size_t k, const Candidate& best);

// The choice for station k in words, for the file's comment: the code, the
// approach and its runs; where it does not dock, each code's nearest runs
// and what would move the stop (`advice`, a grade found to dock it).
std::string Why(const Scenario& s, size_t k, const Candidate& best,
                const std::vector<Candidate>& all, const std::optional<std::string>& advice);
