#include "layout/search.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>

#include "model/units.h"

namespace {

constexpr double kApproachStep = 5;  // km/h
// km/h: creeps, below the slowest curve, tried last
constexpr double kCreeps[] = {8, 7, 6, 5};
// A creep's curve ends where the stop's own curve begins, or this much farther.
constexpr double kCreepCurveEnds[] = {4, 8, 12, 17, 25, 50};
// m before the stop a creep's departure limit may start its final braking.
constexpr double kCreepDepartures[] = {kDepartureBefore, 2, 1};
constexpr double kFarthestCurveEnd = 300;  // m before the stop
// s at the approach speed from a curve's end to the stop: a choice this much
// slower ranks after a quicker one of the same band.
constexpr double kSlowStep = 20;
constexpr int kNarrowTries = 3;  // choices docking with little to spare run before the search ends
// m past where the stop's own curve begins: where else an approach curve ends
constexpr double kCurveEnds[] = {25, 50, 100, 200};
// Trials run this many at a time past the corners: a candidate stops at
// the first few that show it cannot be what the search looks for.
constexpr size_t kChunk = 16;

// The line's fastest approach, then every multiple of 5 km/h below it down
// to the slowest curve, then the creeps.
std::vector<double> Speeds(double fastest) {
  std::vector<double> out = {fastest};
  for (double v = std::ceil(fastest / kApproachStep) * kApproachStep - kApproachStep;
       v >= kSlowestCurve; v -= kApproachStep)
    out.push_back(v);
  out.insert(out.end(), std::begin(kCreeps), std::end(kCreeps));
  return out;
}

// Every speed, then the creeps again held at their speed.
std::vector<std::pair<double, bool>> Paces(double fastest) {
  std::vector<std::pair<double, bool>> out;
  for (const double v : Speeds(fastest)) out.emplace_back(v, false);
  for (const double v : kCreeps) out.emplace_back(v, true);
  return out;
}

std::vector<double> CurveEnds(double own, bool creep) {
  std::vector<double> out = {own};
  if (creep) {
    for (const double more : kCreepCurveEnds) out.push_back(own + more);
    return out;
  }
  for (const double more : kCurveEnds) {
    if (own + more <= kFarthestCurveEnd) out.push_back(own + more);
  }
  if (own < kFarthestCurveEnd) out.push_back(kFarthestCurveEnd);
  return out;
}

// Where the departure's limit may stand: for a creep, where it starts the
// final braking; otherwise the stopping curve governs sooner.
std::vector<double> Departures(double kmh) {
  if (!Creeps(kmh)) return {kDepartureBefore};
  return {std::begin(kCreepDepartures), std::end(kCreepDepartures)};
}

// Every code with every curve end at one approach speed, where its section fits.
std::vector<Candidate> AtSpeed(const Placement& line, size_t k, double v, bool held, double floor,
                               const std::vector<int32_t>& codes, bool sideMatches) {
  std::vector<Candidate> out;
  for (const int32_t code : codes) {
    for (const double before :
         CurveEnds(line.OwnCurve(code, std::max(v, kSlowestCurve)), Creeps(v))) {
      const std::optional<Section> section = line.Plan(k, {code, v, before, {}, held}, floor);
      if (!section) continue;
      for (const double departure : Departures(v))
        out.push_back({{code, v, before, departure, held}, sideMatches, *section});
      if (!section->shaped) break;  // no curve of its own: where its group stands changes nothing
    }
  }
  return out;
}

// The time its curve end costs, roughly: the seconds at the approach speed
// from the curve's end to the stop, in steps of kSlowStep.
long Slowness(const Approach& a) {
  return std::lround(std::floor(a.before / Ms(a.kmh) / kSlowStep));
}

auto Rank(const Candidate& c) {
  const bool docks = Docks(c);
  // A creep costs the timetable time: taken only where no faster choice docks with room to spare.
  return std::make_tuple(!docks, c.warned, c.overspeeds > 0, Worst(c) > kSureCm,
                         Creeps(c.approach.kmh), Worst(c) > kTightCm, c.approach.held,
                         Slowness(c.approach), docks ? Spread(c) : Worst(c), Worst(c),
                         -c.approach.kmh, c.approach.before, -c.approach.departureBefore);
}

std::vector<Candidate*> Docked(const std::vector<Candidate*>& from) {
  std::vector<Candidate*> out;
  std::copy_if(from.begin(), from.end(), std::back_inserter(out),
               [](const Candidate* c) { return Docks(*c); });
  return out;
}

// Best first, without a choice that differs from one before it only where
// its departure's limit stands and has stopped exactly as that one in every
// trial it ran: the limit came too late to change anything.
std::vector<Candidate*> RankedWithoutTwins(std::vector<Candidate*> from) {
  std::sort(from.begin(), from.end(),
            [](const Candidate* a, const Candidate* b) { return Rank(*a) < Rank(*b); });
  std::vector<Candidate*> out;
  for (Candidate* c : from) {
    const bool twin = std::any_of(out.begin(), out.end(), [&](const Candidate* o) {
      const Approach &x = c->approach, &y = o->approach;
      return x.code == y.code && x.kmh == y.kmh && x.before == y.before && x.held == y.held &&
             o->errors.size() >= c->errors.size() &&
             std::equal(c->errors.begin(), c->errors.end(), o->errors.begin());
    });
    if (!twin) out.push_back(c);
  }
  return out;
}

}  // namespace

long Worst(const Candidate& c) {
  long worst = 0;
  for (long e : c.errors) worst = std::max(worst, std::labs(e));
  return worst;
}

long Spread(const Candidate& c) {
  if (c.errors.empty()) return 0;
  const auto [lo, hi] = std::minmax_element(c.errors.begin(), c.errors.end());
  return *hi - *lo;
}

bool Settled(const Candidate& c, size_t trials) {
  return c.errors.size() == trials && Docks(c) && !c.warned && Worst(c) <= kTightCm;
}

bool Sure(const Candidate& c, size_t trials) {
  return c.errors.size() == trials && Docks(c) && Worst(c) <= kSureCm;
}

size_t Best(const std::vector<Candidate>& candidates, const Trials& trials) {
  size_t best = candidates.size();
  for (size_t i = 0; i < candidates.size(); ++i) {
    const Candidate& c = candidates[i];
    if (c.errors.size() == trials.Count() && Docks(c) &&
        (best == candidates.size() || Rank(c) < Rank(candidates[best])))
      best = i;
  }
  if (best < candidates.size()) return best;
  // None docks: the one that docked in the largest share of its runs, of
  // those that ran the corners where any did, then the worst case nearest.
  const bool cornered = std::any_of(candidates.begin(), candidates.end(), [&](const Candidate& c) {
    return c.errors.size() >= trials.AtCorners();
  });
  const size_t runs = cornered ? trials.AtCorners() : 1;
  const auto near = [&](const Candidate& c) {
    return std::make_tuple(static_cast<double>(c.missed) / c.errors.size(), Worst(c),
                           -c.approach.kmh, c.approach.before);
  };
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (candidates[i].errors.size() < runs) continue;
    if (best == candidates.size() || near(candidates[i]) < near(candidates[best])) best = i;
  }
  return best;
}

namespace {

bool IsEnough(const Candidate& c, size_t trials, Enough enough) {
  if (enough == Enough::kSettled) return Settled(c, trials);
  return enough == Enough::kDocked && Sure(c, trials);
}

// The candidate's trials so far rule it out: missed, or outside the band
// the search needs (every docking choice is wanted where none is enough).
bool RuledOut(const Candidate& c, Enough enough) {
  if (!Docks(c)) return true;
  if (enough == Enough::kSettled) return c.warned || Worst(c) > kTightCm;
  return enough == Enough::kDocked && Worst(c) > kSureCm;
}

// The candidate over the trials it has not run, a chunk at a time, until
// they rule it out.
void RunOn(const Trials& trials, size_t k, Candidate& c, Enough enough) {
  while (c.errors.size() < trials.Count() && !RuledOut(c, enough)) {
    const size_t from = c.errors.size();
    trials.Run(k, {&c}, from, std::min(trials.Count(), from + kChunk));
  }
}

}  // namespace

void Judge(const Trials& trials, size_t k, std::vector<Candidate>& candidates, Enough enough) {
  std::vector<Candidate*> alive;
  for (Candidate& c : candidates) alive.push_back(&c);
  for (size_t corner = 0; corner < trials.AtCorners(); ++corner) {
    trials.Run(k, alive, corner, corner + 1);
    alive = Docked(alive);
  }
  for (Candidate* c : RankedWithoutTwins(alive)) {
    RunOn(trials, k, *c, enough);
    if (IsEnough(*c, trials.Count(), enough)) return;
  }
}

void Finish(const Trials& trials, size_t k, Candidate& c) {
  trials.Run(k, {&c}, c.errors.size(), trials.Count());
}

std::vector<Candidate> Search(const Placement& line, const Trials& trials, size_t k, double floor,
                              const std::vector<int32_t>& codes, bool sideMatches, Enough enough,
                              Change change) {
  std::vector<Candidate> tried;
  for (const auto& [v, held] : Paces(line.FastestApproach(k))) {
    std::vector<Candidate> batch = AtSpeed(line, k, v, held, floor, codes, sideMatches);
    for (Candidate& c : batch) c.change = change;
    Judge(trials, k, batch, enough);
    tried.insert(tried.end(), batch.begin(), batch.end());
    if (std::any_of(batch.begin(), batch.end(),
                    [&](const Candidate& c) { return IsEnough(c, trials.Count(), enough); }))
      return tried;
  }
  // None settles: those that docked at the corners run on, best first, until
  // one docks in every trial with room to spare, or a few without.
  std::vector<Candidate*> cornered;
  for (Candidate& c : tried) {
    if (Docks(c) && c.errors.size() < trials.Count()) cornered.push_back(&c);
  }
  int docked = 0;
  for (Candidate* c : RankedWithoutTwins(cornered)) {
    RunOn(trials, k, *c, Enough::kAll);
    if (Sure(*c, trials.Count()) || (Docks(*c) && ++docked == kNarrowTries)) break;
  }
  return tried;
}
