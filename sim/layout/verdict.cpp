#include "layout/verdict.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <map>

#include "layout/search.h"
#include "layout/segment.h"
#include "lint/speed_envelope.h"
#include "model/beacon_codes.h"
#include "model/cab.h"

namespace {

constexpr double kFinalMetres = 150;  // m: the final braking's grade is judged over them
// ‰: the platform grades tried where nothing docks, gentlest first.
constexpr std::array<double, 6> kPlatformPermille = {2.5, 5, 7.5, 10, 15, 20};

// "stops -12 to +30 cm", "runs through it", "never reaches it", or
// what share did which, and the runs above a limit of the line.
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
  if (c.overspeeds > 0) parts.push_back(fmt::format("{} above the line's limit", c.overspeeds));
  return fmt::format("{}", fmt::join(parts, ", "));
}

// The full service brake on the grade of the stopping curve's last 150 m,
// against the curve.
std::string FullBrake(const Scenario& s, size_t k) {
  const TrainModel grades(s.dynamics, s.gradients);
  const SpeedEnvelope envelope(s, grades);
  const int notch = s.vehicle.brakeNotchCount;
  const double stop = s.stations[k].stop, from = stop - kFinalMetres;
  return fmt::format(
      " the train runs past in every style: on the last {:.0f} m ({:+.1f} ‰ on average) "
      "notch {} slows it {:.2f} m/s², the stopping curve asks {:.2f} to {:.2f}",
      kFinalMetres, grades.MeanPermille(from, stop), notch, envelope.Decel(notch, from, stop),
      beacon::StoppingCurveOf(3).decel, beacon::StoppingCurveOf(1).decel);
}

// Where nothing docks: each code's nearest runs, and what would move the stop.
std::string NoDock(const Scenario& s, size_t k, const std::vector<Candidate>& all,
                   const std::optional<std::string>& advice) {
  std::map<int32_t, const Candidate*> nearest;
  for (const Candidate& c : all) {
    const Candidate*& n = nearest[c.code];
    if (n == nullptr || Worst(c) < Worst(*n)) n = &c;
  }
  std::string out = "; it does NOT dock:";
  bool past = true, shortOf = true;
  for (const auto& [code, c] : nearest) {
    const auto [lo, hi] = std::minmax_element(c->errors.begin(), c->errors.end());
    past &= *lo > 0;
    shortOf &= *hi < 0;
    out += fmt::format(" style {} (code {}) in at {:.0f} km/h {};", beacon::FinalBrakingStyle(code),
                       code, c->approach, Range(*c));
  }
  if (past)
    return out + FullBrake(s, k) +
           ": stronger brakes or a platform that rises into the stop would dock it";
  if (advice) return out + *advice;
  if (shortOf) {
    return out +
           " the train stops short in every style: a platform that falls into the stop "
           "would dock it";
  }
  return out + fmt::format(
                   " no style brings the train within {:.0f} cm in every condition "
                   "here: a more level approach or brakes that vary less would dock it",
                   kDockedWindow * 100);
}

}  // namespace

std::optional<std::string> PlatformThatDocks(const Trials& trials, size_t k,
                                             const Candidate& best) {
  if (Worst(best) >= kRanThrough || Spread(best) > 2 * std::lround(kDockedWindow * 100)) return {};
  const auto [lo, hi] = std::minmax_element(best.errors.begin(), best.errors.end());
  if (*lo < 0 && *hi > 0) return {};
  const double sign = *hi < 0 ? -1 : 1;  // short: a fall brings it on
  for (const double permille : kPlatformPermille) {
    std::vector<Candidate> graded = {best};
    graded[0].errors.clear();
    graded[0].missed = graded[0].overspeeds = 0;
    graded[0].platform = sign * permille;
    Judge(trials, k, graded);
    if (!Docks(graded[0])) continue;
    return fmt::format(
        " a {} of {:g} ‰ over the last {:.0f} m into the stop would dock style {} in at "
        "{:.0f} km/h: it {} in the same runs",
        sign < 0 ? "fall" : "rise", permille, kPlatformMetres, beacon::FinalBrakingStyle(best.code),
        best.approach, Range(graded[0]));
  }
  return {};
}

std::string Why(const Scenario& s, size_t k, const Candidate& best,
                const std::vector<Candidate>& all, const std::optional<std::string>& advice) {
  const Station& st = s.stations[k];
  const std::string side =
      best.sideMatches ? ""
      : st.doorSide == 0
          ? ", doors on one side: no code opens none"
          : fmt::format(", doors {}: no {} code docks", st.doorSide < 0 ? "right" : "left",
                        st.doorSide < 0 ? "left-door" : "right-door");
  return fmt::format("{}: code {} (style {}{}), in at {:.0f} km/h: over {} run{} it {}{}", st.name,
                     best.code, beacon::FinalBrakingStyle(best.code), side, best.approach,
                     best.errors.size(), best.errors.size() == 1 ? "" : "s", Range(best),
                     Docks(best) ? "" : NoDock(s, k, all, advice));
}
