#include "layout/layout.h"

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <toml++/toml.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <tuple>

#include "host/plugin_loader.h"
#include "host/simulator.h"
#include "lint/line_check.h"
#include "lint/speed_envelope.h"
#include "model/beacon_codes.h"
#include "model/cab.h"
#include "sweep/worker_pool.h"

namespace {

constexpr double kCurveDecel = 0.6;  // m/s²: the braking curves laid out, well inside notch 8
constexpr double kGroupMargin = 60;  // m between a station group and its stopping curve
// m: a train creeping in below 30 km/h settles at its speed over them first
constexpr double kCreepMargin = 100;
constexpr double kLowestApproach = 30;  // km/h: the slowest tried first
// km/h: creeping in, where nothing faster docks.
constexpr std::array<double, 2> kCreepSpeeds = {20, 10};
constexpr double kApproachStep = 10;    // km/h
constexpr long kTightCm = 30;           // cm: the band a stop is best within
constexpr double kRaiseBeforeStop = 3;  // m: well inside the final braking
constexpr double kFinalMetres = 150;    // m: the final braking's grade is judged over them
// A platform grade tried where nothing docks: over this run into the stop,
// these steepnesses (‰), gentlest first.
constexpr double kPlatformMetres = 400;
constexpr std::array<double, 6> kPlatformPermille = {2.5, 5, 7.5, 10, 15, 20};
// cm: a run that ran through the stop, or never reached it
constexpr long kRanThrough = 100000, kNeverReached = -kRanThrough;
constexpr int32_t kSegmentDeparture = 8 * 3600 + 30;  // s of the day: the segment's start

// Metres from v to w km/h at a m/s².
double Shed(double v, double w, double a) {
  return std::max(0.0, (Ms(v) * Ms(v) - Ms(w) * Ms(w)) / (2 * a));
}

bool Laid(int32_t type) { return type >= kBeaconStation && type <= kBeaconBraking; }

// A beacon with its named form as the written file gives it.
struct Placed {
  RouteBeacon beacon;
  std::string text;
};

Placed Make(double location, int32_t type, int64_t optional, std::string text) {
  return {{std::round(location), {type, 0, 0, static_cast<int32_t>(optional)}, 0}, std::move(text)};
}

// The run of a braking curve: no stopping-point or speed-limit beacon within.
struct Span {
  double from, to;
};

class Planner {
 public:
  Planner(const Scenario& s, const SweepOptions& o)
      : s_(s),
        o_(o),
        conditions_(LayoutConditions(s)),
        corners_(Corners(conditions_)),
        between_(Between(conditions_)),
        length_(s.dynamics.lengthMetres) {
    for (const SweepPoint& p : Combinations(corners_)) trials_.push_back({&corners_, p});
    screen_ = trials_.size();
    for (const SweepPoint& p : Combinations(conditions_)) {
      if (!AtACorner(p)) trials_.push_back({&conditions_, p});
    }
    trials_.push_back({&asTheFileHasIt_, {}});
    for (const SweepPoint& p : Combinations(between_)) trials_.push_back({&between_, p});
  }

  Layout Run() {
    LineLimits();
    std::vector<std::vector<Placed>> groups;
    Layout out;
    for (size_t k = 0; k < s_.stations.size(); ++k) {
      if (s_.stations[k].stop > s_.endLocation) break;
      StationLayout chosen{&s_.stations[k], 0, 0, s_.stations[k].stop};
      groups.push_back(s_.stations[k].stop <= s_.startLocation ? StartGroup(k, chosen)
                                                               : Choose(k, chosen));
      out.stations.push_back(chosen);
    }
    std::vector<std::pair<Placed, std::string>> all;
    for (const Placed& p : limits_) all.push_back({p, ""});
    for (size_t k = 0; k < groups.size(); ++k) {
      for (size_t i = 0; i < groups[k].size(); ++i) {
        all.push_back({groups[k][i], i == 0 ? out.stations[k].why : ""});
      }
    }
    for (const RouteBeacon& b : s_.beacons) {
      if (!Laid(b.data.type)) all.push_back({{b, ""}, ""});
    }
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
      return a.first.beacon.location < b.first.beacon.location;
    });
    for (auto& [placed, comment] : all) {
      out.beacons.push_back(placed.beacon);
      out.texts.push_back(placed.text.empty() ? Raw(placed.beacon) : placed.text);
      out.comments.push_back(comment);
    }
    return out;
  }

 private:
  static std::string Raw(const RouteBeacon& b) {
    if (b.data.type == kBeaconRain) return fmt::format("rain = {}", b.data.optional);
    return fmt::format("type = {}, optional = {}", b.data.type, b.data.optional);
  }

  double LimitAt(double x) const {
    const LineLimit* l = ::LimitAt(s_.limits, x);
    if (l == nullptr) {
      throw ScenarioError(
          fmt::format("{}: no [[limit]] holds at {} m: --layout needs the line's "
                      "limits from the start",
                      s_.path, x));
    }
    return l->kmh;
  }

  // A limit falls by a braking curve ending where it starts; it rises once
  // the rear of the train has cleared the lower one.
  void LineLimits() {
    double previous = 0;
    for (const LineLimit& l : s_.limits) {
      const double at = std::max(l.from, s_.startLocation);
      if (l.kmh > previous) {  // the first limit too: previous is 0
        const double raise = previous == 0 ? at : Postponed(l.from + length_, l.kmh);
        limits_.push_back(Make(raise, kBeaconSpeedLimit, static_cast<int64_t>(l.kmh),
                               fmt::format("speed_limit = {:.0f}", l.kmh)));
      } else if (l.kmh < previous) {
        const double start = l.from - Shed(previous, l.kmh, kCurveDecel) - 10;
        const beacon::Braking curve{0, static_cast<int32_t>(l.kmh), static_cast<int32_t>(l.from)};
        limits_.push_back(
            Make(start, kBeaconBraking, beacon::Pack(curve),
                 fmt::format("braking = {{ final_speed = {:.0f}, end = {:.0f} }}", l.kmh, l.from)));
        spans_.push_back({start, l.from});
      }
      previous = l.kmh;
    }
  }

  // A limit raised inside a station's approach would leave the stopping
  // curve too little room: it is raised as the train leaves the station.
  double Postponed(double raise, double kmh) const {
    const double reach = Shed(kmh, 0, beacon::StoppingCurveOf(1).decel) + 2 * kGroupMargin;
    for (const Station& st : s_.stations) {
      if (raise > st.stop - reach && raise <= st.stop) return st.stop + 5;
    }
    return raise;
  }

  // The limit the laid-out limit beacons give just before a stop.
  double BeaconLimit(double stop) const {
    double limit = LimitAt(stop - 1);
    double last = -INFINITY;
    for (const Placed& p : limits_) {
      const double x = p.beacon.location;
      if (x >= stop || x < last) continue;
      last = x;
      limit = p.beacon.data.type == kBeaconSpeedLimit
                  ? p.beacon.data.optional
                  : beacon::BrakingOf(p.beacon.data.optional).finalSpeed;
    }
    return limit;
  }

  // A door side's codes, style 1 first; with no side, style 1 of each.
  static std::vector<int32_t> Codes(int32_t side) {
    if (side == 0) return {12, 17};
    return side < 0 ? std::vector<int32_t>{12, 11} : std::vector<int32_t>{14, 17};
  }

  // The style only the other door side has: style 1 both sides have.
  static std::vector<int32_t> OtherSidesStyle(int32_t side) { return {side < 0 ? 17 : 11}; }

  double Stop(size_t k) const { return s_.stations[k].stop; }
  double Previous(size_t k) const { return k > 0 ? Stop(k - 1) : s_.startLocation; }

  Placed StoppingPoint(size_t k, double at) const {
    const int32_t next = static_cast<int32_t>(k + 1 < s_.stations.size() ? Stop(k + 1) : Stop(k));
    CheckStep(k);
    const beacon::StoppingPoints p{static_cast<int32_t>(Stop(k)), next};
    return Make(at, kBeaconStoppingPoint, beacon::Pack(p),
                fmt::format("stopping_point = \"{}\"", s_.stations[k].name));
  }

  void CheckStep(size_t k) const {
    const double stop = Stop(k);
    if (std::fmod(stop, beacon::kStoppingPointStep) != 0 || stop < 0 ||
        stop >= beacon::kStoppingPointLimit) {
      throw ScenarioError(
          fmt::format("{}:{}: station {} stops at {} m: a stopping-point beacon "
                      "gives only multiples of 25 m below 250 km",
                      s_.path, s_.stations[k].line, s_.stations[k].name, stop));
    }
    if (!s_.stations[k].departureMs) {
      throw ScenarioError(fmt::format("{}:{}: station {} has no departure for its station beacon",
                                      s_.path, s_.stations[k].line, s_.stations[k].name));
    }
  }

  Placed StationBeacon(size_t k, double at, double limit) const {
    const int32_t departure = s_.stations[k].departureMs.value_or(0) / 1000;
    return Make(
        at, kBeaconStation, beacon::Pack(beacon::Station{static_cast<int32_t>(limit), departure}),
        fmt::format("station = {{ name = \"{}\", limit = {:.0f} }}", s_.stations[k].name, limit));
  }

  Placed Code(double at, int32_t code) const {
    return Make(at, kBeaconLocation, code, fmt::format("location_code = {}", code));
  }

  // The train starts here: the group at the stop itself.
  std::vector<Placed> StartGroup(size_t k, StationLayout& chosen) const {
    chosen.code = Codes(s_.stations[k].doorSide).front();  // style 1
    chosen.docks = true;
    chosen.why = fmt::format("{}: the run starts here", s_.stations[k].name);
    const double stop = Stop(k);
    return {Code(stop, chosen.code), StoppingPoint(k, stop), StationBeacon(k, stop, LimitAt(stop))};
  }

  // The station group for an approach at v km/h: a braking curve down to v
  // where v is below the line's limit, then the stopping-point, location and
  // station beacons, clear of every braking curve; none where it cannot fit.
  std::optional<std::vector<Placed>> Group(size_t k, int32_t code, double v) const {
    const double stop = Stop(k), line = BeaconLimit(stop);
    const beacon::StoppingCurve curve = beacon::StoppingCurveOf(beacon::FinalBrakingStyle(code));
    const double margin = v < kLowestApproach ? kCreepMargin : kGroupMargin;
    const double reach = Shed(std::min(v, line), 0, curve.decel) + margin;
    std::vector<Placed> group;
    double at = stop - reach;
    if (v < line) {
      const double end = at - 5;
      const double start = end - Shed(line, v, kCurveDecel) - 10;
      const beacon::Braking c{0, static_cast<int32_t>(v), static_cast<int32_t>(end)};
      group.push_back(
          Make(start, kBeaconBraking, beacon::Pack(c),
               fmt::format("braking = {{ final_speed = {:.0f}, end = {:.0f} }}", v, end)));
      if (start <= Previous(k) + 20 || Inside(start) || Crosses(start, stop, line)) {
        return std::nullopt;
      }
    }
    for (const Span& span : spans_) {
      if (at + 20 >= span.from && at < span.to) at = span.from - 30;
    }
    if (at <= Previous(k) + 10 || (v < line && at < group[0].beacon.location)) return std::nullopt;
    group.push_back(StoppingPoint(k, at));
    group.push_back(Code(at + 10, code));
    group.push_back(StationBeacon(k, at + 20, std::min(v, Lowest(at + 20))));
    // The approach's limit would also be the departure's: the line's returns
    // in the final braking, where the stopping curve is the lower.
    if (const double away = Lowest(stop); v < away) {
      group.push_back(Make(stop - kRaiseBeforeStop, kBeaconSpeedLimit, static_cast<int64_t>(away),
                           fmt::format("speed_limit = {:.0f}", away)));
    }
    return group;
  }

  // The lowest line limit under a train whose front is at x.
  double Lowest(double x) const {
    const LineLimit* l = LowestOver(s_.limits, x - length_, x);
    return l != nullptr ? l->kmh : LimitAt(x);
  }

  // Whether a braking curve from `from` to `to` would meet a limit beacon,
  // which ends it, or a restriction of the line, which it would run over.
  bool Crosses(double from, double to, double line) const {
    for (const Placed& p : limits_) {
      if (p.beacon.location >= from && p.beacon.location < to) return true;
    }
    const LineLimit* lowest = LowestOver(s_.limits, from - length_, to);
    return lowest != nullptr && lowest->kmh < line;
  }

  bool Inside(double x) const {
    return std::any_of(spans_.begin(), spans_.end(),
                       [&](const Span& s) { return x >= s.from && x < s.to; });
  }

  // The line from the previous stop to this one, with a candidate group.
  Scenario Segment(size_t k, const std::vector<Placed>& group) const {
    Scenario seg = s_;
    const double from = Previous(k), stop = Stop(k);
    seg.startLocation = from;
    seg.startTimeMs = (kSegmentDeparture - 30) * 1000;
    seg.startSpeed = 0;
    seg.endLocation = stop + 150;
    seg.maxSeconds = 3600;
    seg.timeline.clear();
    seg.pauses.clear();
    seg.stations = {{"from", from, -1, kSegmentDeparture * 1000, 0}, s_.stations[k]};
    seg.stations[1].departureMs.reset();
    seg.beacons.clear();
    const beacon::StoppingPoints p{static_cast<int32_t>(from), static_cast<int32_t>(stop)};
    const double startLimit = LimitAt(from);
    for (const Placed& b : std::vector<Placed>{
             Code(from, 12), Make(from, kBeaconStoppingPoint, beacon::Pack(p), ""),
             Make(
                 from, kBeaconStation,
                 beacon::Pack(beacon::Station{static_cast<int32_t>(startLimit), kSegmentDeparture}),
                 "")}) {
      seg.beacons.push_back(b.beacon);
    }
    for (const Placed& b : limits_) {
      if (b.beacon.location > from && b.beacon.location < seg.endLocation)
        seg.beacons.push_back(b.beacon);
    }
    for (const Placed& b : group) seg.beacons.push_back(b.beacon);
    for (const RouteBeacon& b : s_.beacons) {
      if (!Laid(b.data.type) && b.location > from && b.location < seg.endLocation)
        seg.beacons.push_back(b);
    }
    std::stable_sort(
        seg.beacons.begin(), seg.beacons.end(),
        [](const RouteBeacon& a, const RouteBeacon& b) { return a.location < b.location; });
    seg.sweep = conditions_;
    return seg;
  }

  struct Candidate {
    int32_t code;
    bool sideMatches;
    double approach;
    std::vector<Placed> group;
    std::vector<long> errors;                       // cm, one a condition
    int overspeeds = 0;                             // runs above a limit of the line: stops missed
    bool warned = false;                            // lint expects the stop missed
    std::optional<double> platform = std::nullopt;  // ‰ into the stop, where one is tried
  };

  // The door side's codes at approaches down to 30 km/h first. Where none
  // docks, the same creeping in at 20 and 10 km/h, and the style only the
  // other side has at every speed: a door-side mismatch or a slow approach
  // is better than a missed stop.
  std::vector<Placed> Choose(size_t k, StationLayout& chosen) const {
    const int32_t side = s_.stations[k].doorSide;
    const double line = BeaconLimit(Stop(k)), first = std::min(line, kLowestApproach);
    std::vector<Candidate> candidates = Candidates(k, Codes(side), side != 0, Speeds(line, first));
    if (candidates.empty()) {
      throw ScenarioError(
          fmt::format("{}:{}: station {}: no room for its beacons between the stop "
                      "before it and its stopping curve",
                      s_.path, s_.stations[k].line, s_.stations[k].name));
    }
    Judge(k, candidates);
    if (!Docks(candidates[Best(candidates)])) {
      std::vector<Candidate> more = Candidates(k, Codes(side), side != 0, Creeping(first));
      if (side != 0) {
        std::vector<double> every = Speeds(line, first);
        for (const double v : Creeping(first)) every.push_back(v);
        const std::vector<Candidate> other = Candidates(k, OtherSidesStyle(side), false, every);
        more.insert(more.end(), other.begin(), other.end());
      }
      Judge(k, more);
      candidates.insert(candidates.end(), more.begin(), more.end());
    }
    // A candidate's rank only falls as it runs more, so the best of the
    // ranks is the best once it has run every trial.
    size_t best = Best(candidates);
    while (Finish(k, candidates[best])) best = Best(candidates);
    const std::optional<std::string> advice =
        Docks(candidates[best]) ? std::nullopt : PlatformThatDocks(k, candidates[best]);
    Describe(k, candidates[best], candidates, advice, chosen);
    return candidates[best].group;
  }

  // From one speed down to another in steps of 10 km/h.
  static std::vector<double> Speeds(double from, double to) {
    std::vector<double> out;
    for (double v = from; v >= to - 1e-9; v -= kApproachStep) out.push_back(v);
    return out;
  }

  // The creeping speeds below the slowest tried first.
  static std::vector<double> Creeping(double first) {
    std::vector<double> out;
    std::copy_if(kCreepSpeeds.begin(), kCreepSpeeds.end(), std::back_inserter(out),
                 [&](double v) { return v < first; });
    return out;
  }

  // Every code with every approach speed.
  std::vector<Candidate> Candidates(size_t k, const std::vector<int32_t>& codes, bool sideMatches,
                                    const std::vector<double>& speeds) const {
    std::vector<Candidate> out;
    for (const double v : speeds) {
      for (const int32_t code : codes) {
        if (auto group = Group(k, code, v))
          out.push_back({code, sideMatches, v, *group, {}, 0, false});
      }
    }
    return out;
  }

  bool AtACorner(const SweepPoint& p) const {
    for (size_t i = 0; i < p.size(); ++i) {
      const std::vector<double>& ends = corners_[i].values;
      if (std::find(ends.begin(), ends.end(), conditions_[i].values[p[i]]) == ends.end())
        return false;
    }
    return true;
  }

  // Each candidate at the sweep's corners, where the stops spread widest,
  // and over the other trials only where it docks there.
  void Judge(size_t k, std::vector<Candidate>& candidates) const {
    std::vector<Candidate*> all, docked;
    for (Candidate& c : candidates) all.push_back(&c);
    Run(k, all, 0, screen_);
    std::copy_if(all.begin(), all.end(), std::back_inserter(docked),
                 [](const Candidate* c) { return Docks(*c); });
    Run(k, docked, screen_, trials_.size());
  }

  // The trials a candidate has not run yet; false when there were none.
  bool Finish(size_t k, Candidate& c) const {
    if (c.errors.size() == trials_.size()) return false;
    Run(k, {&c}, c.errors.size(), trials_.size());
    return true;
  }

  // Trials `from` to `to` of every candidate, in worker processes.
  void Run(size_t k, const std::vector<Candidate*>& candidates, size_t from, size_t to) const {
    if (candidates.empty() || from >= to) return;
    std::vector<Scenario> segments;
    for (Candidate* c : candidates) {
      segments.push_back(Segment(k, c->group));
      if (c->platform) segments.back().gradients = WithPlatform(k, *c->platform);
      if (from == 0) c->warned = StopWarned(segments.back(), segments.back().stations[1]);
    }
    const size_t n = to - from;
    const WorkerPool pool{o_.workers, o_.secondsLimit, o_.interrupted};
    const auto work = [&](size_t job) {
      std::string error;
      PluginApi api{};
      if (!LoadPlugin(o_.plugin, api, error)) return std::to_string(kNeverReached);
      const Trial& trial = trials_[from + job % n];
      // The stop records point into the scenario: it outlives the run's result.
      const Scenario run = Apply(segments[job / n], *trial.axes, trial.point);
      const RunResult result = RunScenario(run, api, {});
      if (result.stops.size() < 2) return std::to_string(kNeverReached);
      const StopRecord& stop = result.stops[1];
      const std::optional<long> cm = ErrorCm(stop);
      if (!cm) return std::to_string(stop.crossedAtKmh ? kRanThrough : kNeverReached);
      return std::to_string(*cm) + (result.overspeeds.empty() ? "" : " over");
    };
    pool.Run(candidates.size() * n, work, [&](const JobOutcome& outcome) {
      Candidate& c = *candidates[outcome.job / n];
      c.errors.push_back(outcome.failure.empty() ? std::stol(outcome.text) : kNeverReached);
      c.overspeeds += outcome.text.find(" over") != std::string::npos;
    });
  }

  static long Worst(const Candidate& c) {
    long worst = 0;
    for (long e : c.errors) worst = std::max(worst, std::labs(e));
    return worst;
  }
  static long Spread(const Candidate& c) {
    const auto [lo, hi] = std::minmax_element(c.errors.begin(), c.errors.end());
    return *hi - *lo;
  }

  // Docked in the worst case first, then the door side's own code, then
  // one lint has no warning for, then every stop within the tight band,
  // then the smallest spread, then the worst case nearest, then the faster
  // approach. Where none docks, the nearest.
  static size_t Best(const std::vector<Candidate>& candidates) {
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

  // The docked window either side of the stop, in whole cm.
  static long WindowCm() { return std::lround(kDockedWindow * 100); }

  static bool Docks(const Candidate& c) { return Worst(c) <= WindowCm() && c.overspeeds == 0; }

  // "stops -12 to +30 cm", "runs through it", "never reaches it", or
  // what share did which, and the runs above a limit of the line.
  static std::string Range(const Candidate& c) {
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

  void Describe(size_t k, const Candidate& best, const std::vector<Candidate>& all,
                const std::optional<std::string>& advice, StationLayout& chosen) const {
    std::vector<long> sorted = best.errors;
    std::sort(sorted.begin(), sorted.end());
    chosen.code = best.code;
    chosen.approach = best.approach;
    chosen.stoppingPoint = std::find_if(best.group.begin(), best.group.end(), [](const Placed& p) {
                             return p.beacon.data.type == kBeaconStoppingPoint;
                           })->beacon.location;
    chosen.worstCm = *std::max_element(best.errors.begin(), best.errors.end(),
                                       [](long a, long b) { return std::labs(a) < std::labs(b); });
    chosen.medianCm = sorted[sorted.size() / 2];
    chosen.runs = 0;
    for (const Candidate& c : all) chosen.runs += static_cast<int>(c.errors.size());
    chosen.docks = Docks(best);
    const Station& st = s_.stations[k];
    const std::string side =
        best.sideMatches ? ""
        : st.doorSide == 0
            ? ", doors on one side: no code opens none"
            : fmt::format(", doors {}: no {} code docks", st.doorSide < 0 ? "right" : "left",
                          st.doorSide < 0 ? "left-door" : "right-door");
    chosen.why = fmt::format("{}: code {} (style {}{}), in at {:.0f} km/h: over {} run{} it {}{}",
                             st.name, best.code, beacon::FinalBrakingStyle(best.code), side,
                             best.approach, best.errors.size(), best.errors.size() == 1 ? "" : "s",
                             Range(best), chosen.docks ? "" : NoDock(k, all, advice));
  }

  // Where nothing docks: each code's nearest runs, and what would move the
  // stop (`advice`, a grade found to dock it, where one was).
  std::string NoDock(size_t k, const std::vector<Candidate>& all,
                     const std::optional<std::string>& advice) const {
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
      out += fmt::format(" style {} (code {}) in at {:.0f} km/h {};",
                         beacon::FinalBrakingStyle(code), code, c->approach, Range(*c));
    }
    if (past)
      return out + FullBrake(k) +
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

  // The gentlest platform grade that docks the choice written, where its
  // stops all fall short or all beyond and spread no wider than the window.
  std::optional<std::string> PlatformThatDocks(size_t k, const Candidate& best) const {
    if (Worst(best) >= kRanThrough || Spread(best) > 2 * WindowCm()) return {};
    const auto [lo, hi] = std::minmax_element(best.errors.begin(), best.errors.end());
    if (*lo < 0 && *hi > 0) return {};
    const double sign = *hi < 0 ? -1 : 1;  // short: a fall brings it on
    for (const double permille : kPlatformPermille) {
      std::vector<Candidate> graded = {best};
      graded[0].errors.clear();
      graded[0].overspeeds = 0;
      graded[0].platform = sign * permille;
      Judge(k, graded);
      if (!Docks(graded[0])) continue;
      return fmt::format(
          " a {} of {:g} ‰ over the last {:.0f} m into the stop would dock style {} in at "
          "{:.0f} km/h: it {} in the same runs",
          sign < 0 ? "fall" : "rise", permille, kPlatformMetres,
          beacon::FinalBrakingStyle(best.code), best.approach, Range(graded[0]));
    }
    return {};
  }

  // The line's grades with the last metres into stop k at the given grade.
  std::vector<Gradient> WithPlatform(size_t k, double permille) const {
    const double stop = Stop(k), from = stop - kPlatformMetres;
    std::vector<Gradient> out;
    double beyond = 0;  // the grade the line has at the stop, kept past it
    for (const Gradient& g : s_.gradients) {
      if (g.from <= stop) beyond = g.permille;
      if (g.from < from) out.push_back(g);
    }
    out.push_back({from, permille, 0});
    out.push_back({stop, beyond, 0});
    for (const Gradient& g : s_.gradients) {
      if (g.from > stop) out.push_back(g);
    }
    return out;
  }

  // The full service brake on the grade of the stopping curve's last 150 m,
  // against the curve.
  std::string FullBrake(size_t k) const {
    const TrainModel grades(s_.dynamics, s_.gradients);
    const SpeedEnvelope envelope(s_, grades);
    const int notch = s_.vehicle.brakeNotchCount;
    const double stop = Stop(k), from = stop - kFinalMetres;
    return fmt::format(
        " the train runs past in every style: on the last {:.0f} m ({:+.1f} ‰ on average) "
        "notch {} slows it {:.2f} m/s², the stopping curve asks {:.2f} to {:.2f}",
        kFinalMetres, grades.MeanPermille(from, stop), notch, envelope.Decel(notch, from, stop),
        beacon::StoppingCurveOf(3).decel, beacon::StoppingCurveOf(1).decel);
  }

  // A run each candidate is judged by: a combination of the sweep, the
  // file's own settings, or one between the sweep's.
  struct Trial {
    const std::vector<SweepAxis>* axes;
    SweepPoint point;
  };

  const Scenario& s_;
  const SweepOptions& o_;
  std::vector<SweepAxis> conditions_, corners_, between_, asTheFileHasIt_;
  std::vector<Trial> trials_;  // the corners first
  size_t screen_;              // trials at the corners
  double length_;
  std::vector<Placed> limits_;
  std::vector<Span> spans_;
};

}  // namespace

std::string StopErrorText(long cm) {
  if (cm == kRanThrough) return "through";
  return cm == kNeverReached ? "never" : fmt::format("{:+}", cm);
}

namespace {

// Each axis of numbers as `pick` takes it from its sorted values; one seed
// and one jitter, the first given.
std::vector<SweepAxis> Reduced(const std::vector<SweepAxis>& axes,
                               std::vector<double> (*pick)(const std::vector<double>&)) {
  std::vector<SweepAxis> out;
  for (const SweepAxis& axis : axes) {
    std::vector<double> v = axis.values;
    std::sort(v.begin(), v.end());
    const bool one = v.size() < 2 || axis.name == "seed" || axis.name == "time_step_jitter";
    out.push_back({axis.name, one ? std::vector<double>{axis.values.front()} : pick(v), axis.line});
  }
  return out;
}

std::vector<double> Ends(const std::vector<double>& v) { return {v.front(), v.back()}; }

std::vector<double> MidpointsNextToTheEnds(const std::vector<double>& v) {
  std::vector<double> mids = {(v[0] + v[1]) / 2};
  if (v.size() > 2) mids.push_back((v[v.size() - 2] + v.back()) / 2);
  return mids;
}

}  // namespace

std::vector<SweepAxis> Corners(const std::vector<SweepAxis>& axes) { return Reduced(axes, Ends); }

std::vector<SweepAxis> Between(const std::vector<SweepAxis>& axes) {
  return Reduced(axes, MidpointsNextToTheEnds);
}

std::vector<SweepAxis> LayoutConditions(const Scenario& s) {
  if (!s.sweep.empty()) return s.sweep;
  std::vector<SweepAxis> axes = {{"brake_scale", {0.95, 1.0, 1.05}, 0},
                                 {"time_step", {1.0 / 30, 1.0 / 60, 1.0 / 120}, 0},
                                 {"time_step_jitter", {0.2}, 0},
                                 {"seed", {1, 2}, 0}};
  if (s.dynamics.loadMass > 0) axes.push_back({"load", {0, 1}, 0});
  return axes;
}

Layout LayOut(const Scenario& s, const SweepOptions& o) { return Planner(s, o).Run(); }

// The input's lines without its beacons: each [[beacon]] table up to the
// next header, or the lines of a `beacon = [ … ]` array.
std::string WithoutBeacons(const std::string& inputPath) {
  std::ifstream in(inputPath, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::vector<bool> drop(lines.size(), false);
  bool inTable = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t first = lines[i].find_first_not_of(" \t");
    const bool header = first != std::string::npos && lines[i][first] == '[';
    if (header) inTable = lines[i].compare(first, 10, "[[beacon]]") == 0;
    drop[i] = inTable;
  }
  const bool tables = std::find(drop.begin(), drop.end(), true) != drop.end();
  const toml::table root = toml::parse_file(inputPath);
  if (const toml::node* array = root.get("beacon"); array != nullptr && !tables) {
    const toml::source_region& where = array->source();
    for (auto l = where.begin.line; l <= where.end.line && l <= lines.size(); ++l)
      drop[l - 1] = true;
  }
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!drop[i]) out += lines[i] + "\n";
  }
  return out;
}

std::string LayoutFile(const std::string& inputPath, const Layout& layout) {
  std::string out = fmt::format(
      "# Beacons laid out by corvane-sim --layout from {}; each station's group\n"
      "# under a comment that says what was chosen and how its runs went.\n"
      "beacon = [\n",
      inputPath);
  for (size_t i = 0; i < layout.beacons.size(); ++i) {
    if (!layout.comments[i].empty()) out += fmt::format("  # {}\n", layout.comments[i]);
    out +=
        fmt::format("  {{ location = {:g}, {} }},\n", layout.beacons[i].location, layout.texts[i]);
  }
  return out + "]\n\n" + WithoutBeacons(inputPath);
}
