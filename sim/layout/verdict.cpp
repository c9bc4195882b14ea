#include "layout/verdict.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <map>
#include <optional>

#include "layout/search.h"
#include "layout/segment.h"
#include "lint/speed_envelope.h"
#include "model/beacon_codes.h"
#include "model/cab.h"

namespace {

constexpr double kFinalMetres = 150;  // m: the final braking's grade is judged over them
const long kWindowCm = std::lround(kDockedWindow * 100);
// ‰: how far the platform's grade is moved, the least first.
constexpr std::array<double, 8> kPlatformPermille = {2.5, 5, 7.5, 10, 15, 20, 30, 40};
constexpr std::array<double, 2> kStrongerBrakes = {1.1, 1.2}, kWeakerBrakes = {0.9, 0.8};
constexpr std::array<double, 2> kMorePower = {1.25, 1.5};
constexpr double kSteadierShare = 0.5;  // of the brakes' variation across the sweep

std::string DoorSide(int32_t code) {
  const std::vector<int32_t> left = beacon::SideCodes(-1);
  return std::find(left.begin(), left.end(), code) != left.end() ? "doors left" : "doors right";
}

// The full service brake on the grade of the stopping curve's last 150 m,
// against the curve.
std::string FullBrake(const Scenario& s, size_t k) {
  const TrainModel grades(s.dynamics, s.gradients);
  const SpeedEnvelope envelope(s, grades);
  const int notch = s.vehicle.brakeNotchCount;
  const double stop = s.stations[k].stop, from = stop - kFinalMetres;
  return fmt::format(
      "on the last {:.0f} m ({:+.1f} ‰ on average) notch {} slows it {:.2f} m/s², the stopping "
      "curve asks {:.2f} to {:.2f}",
      kFinalMetres, grades.MeanPermille(from, stop), notch, envelope.Decel(notch, from, stop),
      beacon::StoppingCurveOf(3).decel, beacon::StoppingCurveOf(1).decel);
}

// Each code's nearest candidate.
std::vector<const Candidate*> NearestByCode(const std::vector<Candidate>& tried,
                                            const Trials& trials) {
  std::map<int32_t, std::vector<Candidate>> byCode;
  for (const Candidate& c : tried) byCode[c.approach.code].push_back(c);
  std::vector<const Candidate*> out;
  for (const auto& [code, all] : byCode) {
    const Candidate& nearest = all[Best(all, trials)];
    for (const Candidate& c : tried) {
      if (c.approach.code == code && c.approach.kmh == nearest.approach.kmh &&
          c.approach.before == nearest.approach.before &&
          c.approach.departureBefore == nearest.approach.departureBefore &&
          c.approach.held == nearest.approach.held)
        out.push_back(&c);
    }
  }
  return out;
}

// Each choice and its stops, and in how many of its trials where not all:
// the search runs a choice no further once it has missed.
std::string InWords(const Scenario& s, size_t k, const std::vector<const Candidate*>& nearest,
                    size_t runs) {
  std::vector<std::string> parts;
  for (const Candidate* c : nearest) {
    const std::string over =
        c->errors.size() < runs
            ? fmt::format(" (tried in {} of its {} trials)", c->errors.size(), runs)
            : "";
    parts.push_back(fmt::format("{} {}{}", Choice(s, k, *c), Range(*c), over));
  }
  return fmt::format("{}", fmt::join(parts, "; "));
}

// The candidate again with a change, judged over the same trials as far
// as they may show it `enough`.
Candidate Changed(const Trials& trials, size_t k, const Candidate& best, Change change,
                  Enough enough) {
  std::vector<Candidate> one = {best};
  Candidate& c = one.front();
  c.errors.clear();
  c.missed = c.overspeeds = c.closedUp = 0;
  c.stall.clear();
  c.change = change;
  Judge(trials, k, one, enough);
  return c;
}

// "rising 3.5 ‰", "falling 2 ‰", "level"
std::string Grade(double permille) {
  if (std::fabs(permille) < 0.05) return "level";
  return fmt::format("{} {:.3g} ‰", permille < 0 ? "falling" : "rising", std::fabs(permille));
}

// ‰ on average over the last kPlatformMetres into stop k, as the line has it.
double PlatformGrade(const Placement& line, size_t k) {
  const Scenario& s = line.Line();
  return TrainModel(s.dynamics, s.gradients)
      .MeanPermille(line.Stop(k) - kPlatformMetres, line.Stop(k));
}

std::string ChangeText(const Placement& line, size_t k, const Change& c) {
  const Scenario& s = line.Line();
  switch (c.kind) {
    case Change::kPlatform:
      return fmt::format("the last {:.0f} m into the stop {} (now {} on average)", kPlatformMetres,
                         Grade(c.value), Grade(PlatformGrade(line, k)));
    case Change::kStopBefore:
      return fmt::format(
          "a grade of {:g} ‰ under {} (its last {:.0f} m and the first {:.0f} m past it)", c.value,
          StopBeforeName(s, k), s.dynamics.lengthMetres, kStopBeforeMetres);
    case Change::kBrakes: return fmt::format("brakes ×{:g} as strong", c.value);
    case Change::kPower: return fmt::format("power ×{:g} as strong", c.value);
    case Change::kSteadierBrakes:
      return fmt::format("brakes that vary {:g} times as much across the sweep", c.value);
    case Change::kNone: break;
  }
  return "";
}

// The changes worth trying for what the runs of `c` show.
std::vector<Change> Changes(const Placement& line, size_t k, const Candidate& c) {
  std::vector<Change> out;
  const auto [lo, hi] = std::minmax_element(c.errors.begin(), c.errors.end());
  if (*hi == kNeverReached) {  // it never came: the start before
    const double under =
        TrainModel(line.Line().dynamics, line.Line().gradients).PermilleUnder(line.Previous(k));
    for (const double share : {0.5, 0.0}) out.push_back({Change::kStopBefore, under * share});
    for (const double f : kMorePower) out.push_back({Change::kPower, f});
    return out;
  }
  // Stops that straddle the stop move toward it by their middle.
  const bool beyond = *lo + *hi > 0, shortOf = *lo + *hi < 0;
  if (beyond || shortOf) {  // more rise into the stop brings the train in sooner
    const Scenario& s = line.Line();
    const double now = PlatformGrade(line, k);
    // A rise the train could not start up again is no remedy, but at the last stop.
    const double steepest =
        k + 1 < s.stations.size() ? TrainModel(s.dynamics, s.gradients).SteepestStart(1) : INFINITY;
    for (const double p : kPlatformPermille) {
      const double grade = now + (beyond ? p : -p);
      if (grade < steepest) out.push_back({Change::kPlatform, grade});
    }
  }
  for (const double f : beyond ? kStrongerBrakes : kWeakerBrakes)
    out.push_back({Change::kBrakes, f});
  if (*lo < 0 && *hi > 0) out.push_back({Change::kSteadierBrakes, kSteadierShare});
  return out;
}

}  // namespace

std::string Range(const Candidate& c) {
  std::vector<long> stood;
  std::copy_if(c.errors.begin(), c.errors.end(), std::back_inserter(stood),
               [](long e) { return std::labs(e) < kRanThrough; });
  std::sort(stood.begin(), stood.end());
  std::vector<std::string> parts;
  if (!stood.empty())
    parts.push_back(fmt::format("stops {:+} to {:+} cm", stood.front(), stood.back()));
  struct Fate {
    long error;
    const char *all, *some;
  };
  for (const Fate& f : {Fate{kRanThrough, "runs through it", "run through it"},
                        Fate{kNeverReached, "never reaches it", "never reach it"}}) {
    const auto n = static_cast<size_t>(std::count(c.errors.begin(), c.errors.end(), f.error));
    if (n == c.errors.size())
      parts.push_back(f.all);
    else if (n > 0)
      parts.push_back(fmt::format("{} of {} runs {}", n, c.errors.size(), f.some));
  }
  if (c.closedUp > 0)
    parts.push_back(fmt::format("closed up by the driver's start key in {} run{}", c.closedUp,
                                c.closedUp == 1 ? "" : "s"));
  if (c.overspeeds > 0)
    parts.push_back(fmt::format("above a limit of the line in {} run{}", c.overspeeds,
                                c.overspeeds == 1 ? "" : "s"));
  return fmt::format("{}", fmt::join(parts, ", "));
}

std::string Choice(const Scenario& s, size_t k, const Candidate& c) {
  const int32_t side = s.stations[k].doorSide;
  const std::string other =
      c.sideMatches || side == 0
          ? ""
          : fmt::format(
                ", {}: the other side's, code {} after the station beacon giving the "
                "station's own",
                DoorSide(c.approach.code), beacon::SideCodes(side).front());
  const bool creeps = Creeps(c.approach.kmh);
  const std::string to = creeps ? fmt::format(" to {:.0f} km/h", kSlowestCurve) : "";
  std::string curve =
      c.section.curveEnd > 0
          ? fmt::format(", its curve{} ending {:.0f} m before the stop", to, c.section.curveEnd)
          : "";
  if (creeps)
    curve +=
        fmt::format(", the departure's limit {:g} m before the stop", c.approach.departureBefore);
  return fmt::format("code {} (style {}{}) {} at {:.0f} km/h{}{}", c.approach.code,
                     beacon::FinalBrakingStyle(c.approach.code), other,
                     creeps ? "creeping in" : "in", c.approach.kmh,
                     c.approach.held ? " under constant-speed holding" : "", curve);
}

std::string Cause(const Placement& line, const Trials& trials, size_t k,
                  const std::vector<Candidate>& tried) {
  const Scenario& s = line.Line();
  const std::vector<const Candidate*> nearest = NearestByCode(tried, trials);
  const std::string each = InWords(s, k, nearest, trials.Count());
  const auto all = [&](auto&& test) {
    return std::all_of(nearest.begin(), nearest.end(), [&](const Candidate* c) {
      const auto [lo, hi] = std::minmax_element(c->errors.begin(), c->errors.end());
      return test(*lo, *hi, *c);
    });
  };
  const bool narrow = std::any_of(tried.begin(), tried.end(), [&](const Candidate& c) {
    return c.errors.size() == trials.Count() && Docks(c);
  });
  if (narrow) {
    return fmt::format(
        "from {} it docks in its trials with less than {} cm to spare, too little to hold over "
        "the line's runs, whose frames fall otherwise ({})",
        StopBeforeName(s, k), kWindowCm - kSureCm, each);
  }
  if (all([](long, long hi, const Candidate&) { return hi == kNeverReached; })) {
    return fmt::format("the train cannot leave {}: {} ({})", StopBeforeName(s, k),
                       nearest.front()->stall, each);
  }
  const auto never = [](const Candidate& c) {
    return std::count(c.errors.begin(), c.errors.end(), kNeverReached);
  };
  if (all([&](long, long, const Candidate& c) { return never(c) > 0; })) {
    const Candidate& c = **std::max_element(
        nearest.begin(), nearest.end(),
        [](const Candidate* a, const Candidate* b) { return a->errors.size() < b->errors.size(); });
    return fmt::format("in {} of its {} runs the train never reaches it from {}: {} ({})", never(c),
                       c.errors.size(), StopBeforeName(s, k), c.stall, each);
  }
  if (all([](long lo, long, const Candidate&) { return lo > kWindowCm; })) {
    const bool through = all([](long, long hi, const Candidate&) { return hi == kRanThrough; });
    return fmt::format("{} on the grade into it in every choice: {} ({})",
                       through ? "it runs through" : "it overruns", FullBrake(s, k), each);
  }
  if (all([](long, long hi, const Candidate&) { return hi < -kWindowCm; }))
    return fmt::format("it stops short in every choice ({})", each);
  if (all([](long, long, const Candidate& c) { return Spread(c) > 2 * kWindowCm; })) {
    return fmt::format(
        "the brake's spread across the sweep is wider than the window in every choice ({}; the "
        "window {} cm)",
        each, 2 * kWindowCm);
  }
  return fmt::format("no choice stands within the window in every run ({})", each);
}

namespace {

// The first of `tries` that, changed so, holds over the same trials as
// `enough` asks (docks with room, or stays within ±30 cm), with its runs;
// and the changes run before it, in words.
struct FirstChange {
  std::optional<size_t> index;
  Candidate changed;
  std::vector<std::string> tested;
};

FirstChange RunChanges(const Placement& line, const Trials& trials, size_t k,
                       const std::vector<std::pair<const Candidate*, Change>>& tries,
                       Enough enough) {
  FirstChange out;
  for (size_t i = 0; i < tries.size(); ++i) {
    out.changed = Changed(trials, k, *tries[i].first, tries[i].second, enough);
    const bool holds = enough == Enough::kSettled ? Settled(out.changed, trials.Count())
                                                  : Sure(out.changed, trials.Count());
    if (holds) {
      out.index = i;
      return out;
    }
    const std::string what = ChangeText(line, k, tries[i].second);
    if (std::find(out.tested.begin(), out.tested.end(), what) == out.tested.end())
      out.tested.push_back(what);
  }
  return out;
}

// Where the train could not leave the stop before, the first change under
// which it does is searched whole, as the line laid out anew would be: the
// choices tried so far never came to the stop, and tell nothing of it.
std::optional<std::string> LeavingRemedy(
    const Placement& line, const Trials& trials, size_t k,
    const std::vector<std::pair<const Candidate*, Change>>& tries, double floor) {
  for (const auto& [c, change] : tries) {
    if (change.kind != Change::kStopBefore && change.kind != Change::kPower) continue;
    const Candidate changed = Changed(trials, k, *c, change, Enough::kAll);
    if (std::count(changed.errors.begin(), changed.errors.end(), kNeverReached) > 0) continue;
    const std::vector<Candidate> found =
        Search(line, trials, k, floor, Codes(line.Line().stations[k].doorSide), true,
               Enough::kDocked, change);
    const std::string what = ChangeText(line, k, change);
    if (found.empty()) return std::nullopt;
    const Candidate& best = found[Best(found, trials)];
    const Scenario& s = line.Line();
    if (Sure(best, trials.Count()))
      return fmt::format("{} would dock {}: it {} over the same runs", what, Choice(s, k, best),
                         Range(best));
    if (best.errors.size() == trials.Count() && Docks(best)) {
      return fmt::format(
          "{} would dock {}, with less than {} cm to spare: it {} over the same runs", what,
          Choice(s, k, best), kWindowCm - kSureCm, Range(best));
    }
    return fmt::format(
        "{} would let the train leave {}, but then no choice docks it (the nearest, "
        "{}, {})",
        what, StopBeforeName(s, k), Choice(s, k, best), Range(best));
  }
  return std::nullopt;
}

// The first change that docks one of `tried`, or what was tried.
std::string OwnSideRemedy(const Trials& trials, size_t k, const std::vector<Candidate>& tried,
                          const Placement& line, double floor) {
  // Each code's nearest and its fastest approach, whose stops spread least,
  // with each change their runs call for, the gentlest first.
  std::vector<const Candidate*> bases = NearestByCode(tried, trials);
  for (const Candidate& c : tried) {
    const bool seen = std::any_of(bases.begin(), bases.end(), [&](const Candidate* b) {
      return b->approach.code == c.approach.code && b->approach.kmh >= c.approach.kmh;
    });
    if (!seen) bases.push_back(&c);
  }
  std::vector<std::pair<const Candidate*, Change>> tries;
  for (const Candidate* c : bases) {
    for (const Change& change : Changes(line, k, *c)) tries.push_back({c, change});
  }
  const double platform = PlatformGrade(line, k);
  const auto gentle = [&](const Change& c) {  // the change from what the line and train have
    const double from = c.kind == Change::kPlatform                             ? platform
                        : c.kind == Change::kBrakes || c.kind == Change::kPower ? 1
                                                                                : 0;
    return std::make_pair(c.kind, std::fabs(c.value - from));
  };
  std::stable_sort(tries.begin(), tries.end(), [&](const auto& a, const auto& b) {
    return gentle(a.second) < gentle(b.second);
  });
  if (const std::optional<std::string> leaves = LeavingRemedy(line, trials, k, tries, floor))
    return *leaves;
  const FirstChange found = RunChanges(line, trials, k, tries, Enough::kDocked);
  if (found.index) {
    return fmt::format("{} would dock {}: it {} over the same runs",
                       ChangeText(line, k, tries[*found.index].second),
                       Choice(line.Line(), k, *tries[*found.index].first), Range(found.changed));
  }
  if (found.tested.empty()) return "no remedy found";
  return fmt::format("none of these docks it when run: {}", fmt::join(found.tested, "; "));
}

}  // namespace

std::string Remedy(const Trials& trials, size_t k, const std::vector<Candidate>& tried,
                   const Candidate* other, const Placement& line, double floor) {
  if (other == nullptr) return OwnSideRemedy(trials, k, tried, line, floor);
  if (Sure(*other, trials.Count())) {
    return fmt::format(
        "with [layout] allow_other_side = true, {} would dock: it {} over the same runs",
        Choice(line.Line(), k, *other), Range(*other));
  }
  // Within the window in every trial, but too near its edge to hold.
  const std::string spare =
      Docks(*other) ? fmt::format(", with less than {} cm to spare", kWindowCm - kSureCm) : "";
  return fmt::format("nor the other side's style: {} {}{}; {}", Choice(line.Line(), k, *other),
                     Range(*other), spare, OwnSideRemedy(trials, k, tried, line, floor));
}

std::string Loose(const Placement& line, const Trials& trials, size_t k, const Candidate& chosen) {
  const auto [lo, hi] = std::minmax_element(chosen.errors.begin(), chosen.errors.end());
  const std::string cause =
      Spread(chosen) > 2 * kTightCm
          ? fmt::format("its stops spread {} cm across the sweep", Spread(chosen))
          : (*lo + *hi < 0 ? "it stops short" : "it stops beyond");
  std::vector<std::pair<const Candidate*, Change>> tries;
  for (const Change& change : Changes(line, k, chosen)) tries.push_back({&chosen, change});
  const FirstChange found = RunChanges(line, trials, k, tries, Enough::kSettled);
  if (found.index) {
    return fmt::format("{}; {} would bring it within: it {} over the same runs", cause,
                       ChangeText(line, k, tries[*found.index].second), Range(found.changed));
  }
  if (found.tested.empty()) return cause;
  return fmt::format("{}; none of these brings it within when run: {}", cause,
                     fmt::join(found.tested, "; "));
}
