// The search for a station's approach: every approach speed from the
// line's down to 10 km/h in 5 km/h steps, fastest first, each with the
// braking curve ending from where the stop's own curve begins out to 300 m
// before the stop, then creeps at 8 to 5 km/h, then those creeps again
// under constant-speed holding, and each code given.
// A speed's candidates run at the sweep's two opposite corners, then at
// its other corners, and over every trial only where they docked there;
// the search ends at the first speed with a candidate that docks in every
// trial within ±0.3 m and that lint expects to dock.
#pragma once

#include <vector>

#include "layout/placement.h"
#include "layout/trials.h"

// cm: the band a stop is best within
constexpr long kTightCm = 30;
// cm: the band a trial's stops must keep to for the choice to hold on the
// line's own runs, whose frames fall otherwise than the trials' do
constexpr long kSureCm = 35;

// The error farthest from the stop, in cm, and the spread of the errors.
long Worst(const Candidate& c);
long Spread(const Candidate& c);

// Docked in every trial within the tight band, and lint expects it.
bool Settled(const Candidate& c, size_t trials);
// Docked in every trial with room to spare.
bool Sure(const Candidate& c, size_t trials);

// What ends a search: a candidate that settles, or one that docks in
// every trial; or nothing, every candidate that docks at the corners run
// over every trial.
enum class Enough { kSettled, kDocked, kAll };

// The best candidate's index among those that docked in every trial:
// one lint expects to dock first, then one with room to spare, then one
// that does not creep, then every stop within the tight band, then the
// curve end that costs the least time (in 20 s steps at the approach
// speed), then the smallest spread, then the worst case nearest, then the faster
// approach, then the nearer curve end. Where none docks, the one that
// docked in the largest share of its runs, of those that ran the corners
// (any, where none did), then the worst case nearest.
size_t Best(const std::vector<Candidate>& candidates, const Trials& trials);

// The candidates tried for station k with these codes, the stop before
// giving its departure no slower than `floor`, until one is `enough`;
// empty where no group fits.
std::vector<Candidate> Search(const Placement& line, const Trials& trials, size_t k, double floor,
                              const std::vector<int32_t>& codes, bool sideMatches, Enough enough,
                              Change change = {});

// Each candidate at the corners, one at a time while it docks at them
// (the two opposite corners first), then, the best first, over the other trials until they rule it
// out (it misses, or it cannot be `enough`) or one is `enough`.
void Judge(const Trials& trials, size_t k, std::vector<Candidate>& candidates, Enough enough);

// The candidate run over every trial it has not run yet.
void Finish(const Trials& trials, size_t k, Candidate& c);
