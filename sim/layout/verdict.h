// The verdict in words: how a station's chosen runs went and, for one that
// does not dock, the cause its runs show and a remedy that docks it when
// run: the other door side's code first, then the platform or the train.
#pragma once

#include <string>
#include <vector>

#include "layout/placement.h"
#include "layout/trials.h"

// "stops -12 to +30 cm", with the runs closed up by the driver, run
// through, never reaching the stop or above a limit of the line.
std::string Range(const Candidate& c);

// The choice in words: code, style, approach and curve, over how many runs.
std::string Choice(const Scenario& s, size_t k, const Candidate& c);

// Why none of `tried` docks station k, as the runs of each code's nearest show.
std::string Cause(const Placement& line, const Trials& trials, size_t k,
                  const std::vector<Candidate>& tried);

// The first remedy that docks one of `tried` when run over the same
// trials, or what was tried: the other side's code first (`other`, its
// nearest, has run them), then the platform, then the train.
std::string Remedy(const Trials& trials, size_t k, const std::vector<Candidate>& tried,
                   const Candidate* other, const Placement& line, double floor);

// Why `chosen`, which docks, does not end within kTightCm of the stop in
// every trial, and the first change to the platform or the train that
// brings it there when run over the same trials, or what was tried:
// "it stops short; the last 400 m ... would bring it within: ...".
std::string Loose(const Placement& line, const Trials& trials, size_t k, const Candidate& chosen);
