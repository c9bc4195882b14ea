#include "layout/search.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iterator>
#include <tuple>

#include "scenario/scenario_error.h"

namespace {

// km/h: creeping in, where nothing faster docks.
constexpr std::array<double, 2> kCreepSpeeds = {20, 10};
constexpr double kApproachStep = 10;  // km/h
constexpr long kTightCm = 30;         // cm: the band a stop is best within

// From one speed down to another in steps of 10 km/h.
std::vector<double> Speeds(double from, double to) {
  std::vector<double> out;
  for (double v = from; v >= to - 1e-9; v -= kApproachStep) out.push_back(v);
  return out;
}

// The creeping speeds below the slowest tried first.
std::vector<double> Creeping(double first) {
  std::vector<double> out;
  std::copy_if(kCreepSpeeds.begin(), kCreepSpeeds.end(), std::back_inserter(out),
               [&](double v) { return v < first; });
  return out;
}

// Every code with every approach speed, where its group fits.
std::vector<Candidate> Candidates(const Placement& line, size_t k,
                                  const std::vector<int32_t>& codes, bool sideMatches,
                                  const std::vector<double>& speeds) {
  std::vector<Candidate> out;
  for (const double v : speeds) {
    for (const int32_t code : codes) {
      if (auto group = line.Group(k, code, v))
        out.push_back({code, sideMatches, v, *group, {}, 0, 0, false});
    }
  }
  return out;
}

// The trials a candidate has not run yet; false when there were none.
bool Finish(const Trials& trials, size_t k, Candidate& c) {
  if (c.errors.size() == trials.Count()) return false;
  trials.Run(k, {&c}, c.errors.size(), trials.Count());
  return true;
}

// Where the door side's codes dock at no approach down to `first`: the
// same creeping in, and the styles only the other door side has at every
// speed. A door-side mismatch or a slow approach is better than a missed stop.
std::vector<Candidate> Fallbacks(const Placement& line, size_t k, double limit, double first) {
  const int32_t side = line.Line().stations[k].doorSide;
  std::vector<Candidate> out = Candidates(line, k, Codes(side), side != 0, Creeping(first));
  if (side == 0) return out;
  std::vector<double> every = Speeds(limit, first);
  for (const double v : Creeping(first)) every.push_back(v);
  const std::vector<Candidate> other = Candidates(line, k, OtherSidesStyles(side), false, every);
  out.insert(out.end(), other.begin(), other.end());
  return out;
}

}  // namespace

long Worst(const Candidate& c) {
  long worst = 0;
  for (long e : c.errors) worst = std::max(worst, std::labs(e));
  return worst;
}

long Spread(const Candidate& c) {
  const auto [lo, hi] = std::minmax_element(c.errors.begin(), c.errors.end());
  return *hi - *lo;
}

size_t Best(const std::vector<Candidate>& candidates) {
  const auto rank = [&](const Candidate& c) {
    const bool docks = Docks(c);
    return std::make_tuple(!docks, docks && !c.sideMatches, docks && c.warned, c.overspeeds,
                           Worst(c) > kTightCm, docks ? Spread(c) : Worst(c), Worst(c),
                           -c.approach);
  };
  return std::min_element(
             candidates.begin(), candidates.end(),
             [&](const Candidate& a, const Candidate& b) { return rank(a) < rank(b); }) -
         candidates.begin();
}

void Judge(const Trials& trials, size_t k, std::vector<Candidate>& candidates) {
  std::vector<Candidate*> all, docked;
  for (Candidate& c : candidates) all.push_back(&c);
  trials.Run(k, all, 0, trials.AtCorners());
  std::copy_if(all.begin(), all.end(), std::back_inserter(docked),
               [](const Candidate* c) { return Docks(*c); });
  trials.Run(k, docked, trials.AtCorners(), trials.Count());
}

// The door side's codes at approaches down to 30 km/h first, the fallbacks
// only where none of them docks.
std::vector<Candidate> Search(const Placement& line, const Trials& trials, size_t k) {
  const Station& st = line.Line().stations[k];
  const double limit = line.BeaconLimit(st.stop), first = std::min(limit, kLowestApproach);
  std::vector<Candidate> candidates =
      Candidates(line, k, Codes(st.doorSide), st.doorSide != 0, Speeds(limit, first));
  if (candidates.empty()) {
    throw ScenarioError(
        fmt::format("{}:{}: station {}: no room for its beacons between the stop "
                    "before it and its stopping curve",
                    line.Line().path, st.line, st.name));
  }
  Judge(trials, k, candidates);
  if (!Docks(candidates[Best(candidates)])) {
    std::vector<Candidate> more = Fallbacks(line, k, limit, first);
    Judge(trials, k, more);
    candidates.insert(candidates.end(), more.begin(), more.end());
  }
  // A candidate's rank only falls as it runs more, so the best of the
  // ranks is the best once it has run every trial.
  while (Finish(trials, k, candidates[Best(candidates)])) {
  }
  return candidates;
}
