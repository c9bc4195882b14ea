// The search for a station's location code and approach speed: the
// candidates, run at the sweep's corners first and further only where they
// dock there, and their ranking.
#pragma once

#include <vector>

#include "layout/placement.h"
#include "layout/trials.h"

// The error farthest from the stop, in cm, and the spread of the errors.
long Worst(const Candidate& c);
long Spread(const Candidate& c);

// The best candidate's index: docked first, then the door side's own code,
// then one lint has no warning for, then the fewest runs above a limit,
// then every stop within the tight band, then the smallest spread, then
// the worst case nearest, then the faster approach. Where none docks, the
// nearest.
size_t Best(const std::vector<Candidate>& candidates);

// Each candidate at the sweep's corners, where the stops spread widest,
// and over the other trials only where it docks there.
void Judge(const Trials& trials, size_t k, std::vector<Candidate>& candidates);

// The candidates tried for station k; the best of them has run every
// trial. Fails with ScenarioError where no station group fits.
std::vector<Candidate> Search(const Placement& line, const Trials& trials, size_t k);
