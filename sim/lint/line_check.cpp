#include "lint/line_check.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "lint/run_forecast.h"
#include "lint/speed_envelope.h"
#include "lint/warning.h"
#include "model/auto_driving.h"
#include "model/beacon_codes.h"
#include "model/cab.h"
#include "model/clock_text.h"
#include "model/dynamics.h"
#include "model/stretch_text.h"
#include "model/units.h"
#include "scenario/stop_style.h"

namespace {

// m: a stop expected this close docks. Less than the docked window: the
// figures are a model's, and the stops near the window's edge fall either way.
constexpr double kStopErrorAllowed = 0.35;
constexpr double kFlatTolerance = 0.5;   // km/h: a beacon limit equal to the line's
constexpr double kSlowestApproach = 10;  // km/h: slower is no help worth giving
// Of the stopping curve's deceleration: a grade that pulls this much explains a stop.
constexpr double kGradeShare = 0.1;
constexpr double kOverTarget = 1;  // km/h automatic driving runs above its target before braking
constexpr double kCoastBelow = 3;  // km/h below its target automatic driving coasts down to
constexpr double kDrivenFor = 5;   // s the train is driven before the stopping curve governs
constexpr double kFarPast = 500;   // m beyond the stop: a train still running there never stops
constexpr double kSameStop = beacon::kStoppingPointStep / 2.0;  // m: stops given in 25s

// The final braking into a station as lint sees it.
struct StopForecast {
  int style;
  double d;      // m before the stop where the stopping curve governs
  double limit;  // km/h there
  double error;  // m the train is expected to stand beyond the stop
  // The beacon from which the cab aims at the stop, where it does so only
  // after the stopping curve would govern; null where it is in time.
  const RouteBeacon* late;
  // Where the cab was last pointed away from the stop, having aimed at it
  // before; NaN where it had not.
  double away;
  double speed;  // km/h forecast where the stopping curve governs or the late beacon lies
};

// The beacon that points the cab at a station's stop for good, and where
// a stopping-point beacon pointed it away from that stop before.
struct Pointing {
  const RouteBeacon* beacon = nullptr;
  double away = NAN;
};

class LineCheck {
 public:
  explicit LineCheck(const Scenario& s)
      : s_(s), train_(s.dynamics, s.gradients), envelope_(s, train_), forecast_(ForecastRun(s)) {}

  std::vector<std::string> Run() {
    Limits();
    AboveLimitAsDriven();
    for (const EnvelopePiece& piece : envelope_.Pieces()) CurveTooSteep(piece);
    Falls();
    for (const Station& st : s_.stations) StopOnTheGrade(st);
    Timetable();
    return std::move(warnings_);
  }

  // Where the final braking is expected to stand the train at a station,
  // unless the station lies off the run or past where the run's forecast
  // ends: from where the stopping curve meets the limit, or from a later
  // beacon that only then points the cab at the stop.
  std::optional<StopForecast> Forecast(const Station& st) const {
    // A stop within the doors' reach of the start is where the train stands.
    if (st.stop <= s_.startLocation + s_.doors.window || st.stop > s_.endLocation)
      return std::nullopt;
    // Past a station the train is not expected to reach or leave, how it
    // would come is not known: the warning there is the one to mend.
    if (!forecast_.stations.empty() && forecast_.stations.back().station->stop < st.stop)
      return std::nullopt;
    const int style = StyleOfStop(s_, st.stop);
    double d = st.stop - CurveMeets(st.stop, style);
    const Pointing pointing = PointingAt(st);
    const RouteBeacon* late = pointing.beacon;
    if (late != nullptr && st.stop - late->location >= d) late = nullptr;
    if (late != nullptr) d = st.stop - late->location;
    const double limit = late != nullptr ? ComingAt(st.stop, style, d, pointing.away)
                                         : std::min(beacon::StoppingCurveOf(style).SpeedAt(d),
                                                    envelope_.SpeedAt(st.stop - d));
    // Pointed at the stop late, the train may come as far below its target
    // as automatic driving coasts: the slowest is forecast, so that a stop
    // warned is one that even it misses.
    if (late == nullptr)
      return StopForecast{style, d, limit, Stood(st, limit), nullptr, NAN, limit};
    const double v = std::min(limit, envelope_.SpeedAt(st.stop - d) - kCoastBelow);
    return StopForecast{style,         d, limit, StopError(st.stop, style, late->location, v), late,
                        pointing.away, v};
  }

 private:
  void Warn(int line, const std::string& message) {
    warnings_.push_back(Warning(s_, line, message));
  }
  double Length() const { return s_.dynamics.lengthMetres; }

  // Where the beacons let the train run above the line's limit under any
  // part of it: checked where a piece starts, where a limit falls, and at
  // every metre the train gains from a stand.
  void Limits() {
    if (s_.limits.empty()) return;
    std::vector<double> at;
    for (const EnvelopePiece& p : envelope_.Pieces()) at.push_back(p.from);
    for (const LineLimit& l : s_.limits) at.push_back(l.from);
    for (const Gain& r : envelope_.Gains()) {
      for (double x = std::ceil(r.From()); x <= r.To(); x += 1) at.push_back(x);
    }
    std::sort(at.begin(), at.end());
    std::set<std::pair<const EnvelopePiece*, const LineLimit*>> told;
    for (double x : at) {
      if (x < s_.startLocation || x > s_.endLocation) continue;
      const LineLimit* limit = LowestOver(s_.limits, x - Length(), x);
      const EnvelopePiece& piece = envelope_.PieceAt(x);
      const double speed = envelope_.SpeedAt(x);
      const double allowed =
          limit == nullptr ? INFINITY
                           : limit->kmh + (piece.flat() ? kFlatTolerance : s_.overspeedMarginKmh);
      if (speed <= allowed || piece.from == -INFINITY || !told.insert({&piece, limit}).second) {
        continue;
      }
      AboveLimit(piece, *limit, x, speed);
      limitsTold_.insert(limit);
    }
  }

  // Where the beacons keep the train to a limit, but automatic driving as
  // forecast does not: under a holding option, or down a fall.
  void AboveLimitAsDriven() {
    for (const Overspeed& o : forecast_.overspeeds) {
      if (limitsTold_.count(o.limit) > 0) continue;
      Warn(o.limit->line,
           fmt::format("the train is forecast to run {:.0f} km/h through the line's {:.0f} km/h "
                       "limit {}, though the beacons keep it to the limit: automatic driving "
                       "does not hold it there, under a holding option or down a fall",
                       o.topKmh, o.limit->kmh, StretchText(o.fromMetres, o.toMetres)));
    }
  }

  void AboveLimit(const EnvelopePiece& piece, const LineLimit& limit, double x, double speed) {
    const RouteBeacon& b = s_.beacons[piece.beacon];
    const std::string line = fmt::format("the line's {:.0f} km/h limit from {:.0f} m ({})",
                                         limit.kmh, limit.from, LineName(limit.line));
    if (piece.flat()) {
      const LineLimit* front = LimitAt(s_.limits, x);
      const std::string fix =
          front != nullptr && front->kmh >= speed
              ? fmt::format(
                    "the rear of the train is within it until {:.0f} m: raise the limit "
                    "there or later",
                    NextLimitFrom(limit) + Length())
              : fmt::format("lower it to {:.0f} km/h by {:.0f} m", limit.kmh, limit.from);
      Warn(b.line, fmt::format("the beacons allow {:.0f} km/h from {:.0f} m, above {}: {}",
                               std::max(piece.v0, piece.floor), b.location, line, fix));
      return;
    }
    const std::string comes =
        fmt::format("the train comes to {:.0f} m at about {:.1f} km/h, above {}", x, speed, line);
    // The beacons raise the speed within the limit; not one that lowers it
    // to the limit where it starts, too late to shed the speed.
    const bool late = piece.from == limit.from && piece.floor <= limit.kmh;
    if (limit.from <= piece.from && !late) {
      Warn(b.line, fmt::format("{}: lower the beacons' limit to {:.0f} km/h by {:.0f} m", comes,
                               limit.kmh, std::max(limit.from, s_.startLocation)));
      return;
    }
    const double shed = BrakingDistance(piece.v0, limit.kmh, std::max(piece.decel, 1e-9));
    const double by = std::floor(limit.from - shed);
    const std::string fix =
        by >= s_.startLocation
            ? fmt::format(
                  "lower the beacons' limit to {:.0f} km/h by {:.0f} m, or end a braking "
                  "curve to {:.0f} km/h by {:.0f} m",
                  limit.kmh, by, limit.kmh, limit.from)
            : fmt::format(
                  "there is no room for it after the run's start: give {:.0f} km/h from "
                  "the start, at {:.0f} m",
                  limit.kmh, s_.startLocation);
    Warn(b.line, fmt::format("{}: from {:.0f} km/h it needs {:.0f} m to slow down; {}", comes,
                             piece.v0, shed, fix));
  }

  double NextLimitFrom(const LineLimit& l) const {
    const auto next = std::upper_bound(s_.limits.begin(), s_.limits.end(), l.from,
                                       [](double at, const LineLimit& x) { return at < x.from; });
    return next == s_.limits.end() ? s_.endLocation : next->from;
  }

  // A braking curve the service brake cannot follow on the grade under it.
  void CurveTooSteep(const EnvelopePiece& p) {
    if (p.from == -INFINITY) return;
    const RouteBeacon& b = s_.beacons[p.beacon];
    if (b.data.type != kBeaconBraking) return;
    const beacon::Braking c = beacon::BrakingOf(b.data.optional);
    const double asked = DecelerationToSlow(p.v0, c.finalSpeed, c.end - b.location);
    if (asked <= p.decel + 1e-9) return;
    const double permille = train_.MeanPermille(b.location - Length(), c.end);
    const double start = c.end - BrakingDistance(p.v0, c.finalSpeed, std::max(p.decel, 1e-9));
    Warn(b.line, fmt::format("braking curve from {:.0f} to {} km/h by {} m on {:.1f} ‰: notch 8 "
                             "leaves {:.2f} km/h/s, the curve needs {:.2f}: the train runs above "
                             "it; start it at or before {:.0f} m",
                             p.v0, c.finalSpeed, c.end, permille, Kmh(p.decel), Kmh(asked),
                             std::floor(start)));
  }

  // A fall steeper than the overspeed brake can hold a speed on.
  void Falls() {
    const double notch4 = train_.Braking(notch::kOverspeed);
    for (const Gradient& g : s_.gradients) {
      const double pull = -TrainModel::GradeDrag(g.permille);
      if (pull < notch4) continue;
      Warn(g.line, fmt::format("the fall of {:.1f} ‰ from {:.0f} m pulls {:.2f} km/h/s, and the "
                               "overspeed brake (notch 4) gives {:.2f}: the train runs away above "
                               "its target there",
                               -g.permille, g.from, pull, notch4));
    }
  }

  // A stop the final braking cannot make on the grade of its approach:
  // beyond, where notch 8 less the fall cannot follow the stopping curve;
  // short, where the style's lightest notch with the rise slows the train
  // faster than the curve.
  void StopOnTheGrade(const Station& st) {
    const std::optional<StopForecast> f = Forecast(st);
    if (!f || std::fabs(f->error) <= kStopErrorAllowed) return;
    if (f->late != nullptr) return LateForTheStop(st, *f);
    const auto [style, d, limit, error, late, away, speed] = *f;
    const beacon::StoppingCurve curve = beacon::StoppingCurveOf(style);
    const double from = st.stop - d - Length();
    const double permille = train_.MeanPermille(from, st.stop);
    const std::string expect = fmt::format(
        "station {}: style {}'s final braking from {:.0f} km/h on the last {:.0f} m ({}) is "
        "expected to stop the train about {:.1f} m {}",
        st.name, style, limit, d + Length(),
        std::fabs(permille) < 0.05
            ? std::string("level")
            : fmt::format("{} of {:.1f} ‰ on average", permille < 0 ? "a fall" : "a rise",
                          std::fabs(permille)),
        std::fabs(error), error < 0 ? "short" : "beyond");
    // The style's lightest notch is the one it takes farthest below the curve.
    const int notch = error < 0 ? beacon::FinalBrakingNotch(style, beacon::kFinalBrakingBand)
                                : notch::kFullService;
    const double decel = envelope_.Decel(notch, from, st.stop);
    // A rise into a stop short of it, a fall into one beyond, that pulls a
    // tenth of the curve's deceleration or more explains it; else the brake's timing does.
    const bool byGrade =
        (error < 0) == (permille > 0) &&
        std::fabs(TrainModel::GradeDrag(permille)) >= kGradeShare * Kmh(curve.decel);
    const Dynamics& dyn = s_.dynamics;
    const std::string why =
        byGrade ? fmt::format("notch {}{} {} {:.2f} km/h/s, the stopping curve {:.2f}", notch,
                              error < 0 ? ", its lightest," : "", error < 0 ? "slows it" : "leaves",
                              Kmh(decel), Kmh(curve.decel))
                : fmt::format(
                      "not the grade but the timing: the brake acts {:.1f} s after each "
                      "notch and builds over {:.1f} s more, in frames of {:.3g} s",
                      dyn.brakeDelaySeconds, dyn.lagSeconds, s_.timeStep);
    Warn(st.line, fmt::format("{}: {}; {}", expect, why,
                              error < 0 ? ShortFix(style, byGrade, st.doorSide)
                                        : OverrunFix(st.stop, style, limit, byGrade)));
  }

  // The beacon that points the cab at a station's stop: the station beacon
  // after the stopping-point beacon that gives the stop (until it the cab
  // aims at the stop after), or that one where the stop after is the same.
  Pointing PointingAt(const Station& st) const {
    const RouteBeacon* given = nullptr;
    bool following = false;  // the stopping point gives another stop after this one
    bool aimed = false;      // the cab aimed at this stop before the one that gives it
    for (const RouteBeacon& b : s_.beacons) {
      if (b.location >= st.stop) break;
      if (b.data.type == kBeaconStoppingPoint) {
        const beacon::StoppingPoints p = beacon::StoppingPointsOf(b.data.optional);
        const bool gives = std::fabs(p.thisStop - st.stop) <= kSameStop;
        aimed = gives && std::fabs(LastNextStop(b) - st.stop) <= kSameStop;
        given = gives ? &b : nullptr;
        following = std::fabs(p.nextStop - p.thisStop) > kSameStop;
      } else if (b.data.type == kBeaconStation && given != nullptr && following) {
        return {&b, aimed ? given->location : NAN};
      }
    }
    return {following ? nullptr : given};
  }

  // The stop after, of the stopping-point beacon before this one.
  double LastNextStop(const RouteBeacon& b) const {
    const RouteBeacon* last = StoppingPointBefore(b);
    return last == nullptr ? NAN : beacon::StoppingPointsOf(last->data.optional).nextStop;
  }

  // km/h the train comes at to a beacon x metres before a stop that points
  // the cab at it: as fast as the envelope lets it, and, where the cab aimed
  // at the stop until a stopping-point beacon turned it away, at the
  // stopping curve's speed there gaining under automatic driving's power.
  double ComingAt(double stop, int style, double x, double away) const {
    if (std::isnan(away) || stop - away <= x) return envelope_.SpeedAt(stop - x);
    double v = beacon::StoppingCurveOf(style).SpeedAt(stop - away);
    for (double at = away + 0.5; at < stop - x; at += 1) {
      const double target = envelope_.SpeedAt(at);
      const double accel = train_.Traction(auto_driving::PowerNotch(v, target - v), v) -
                           train_.Resistance(v) - TrainModel::GradeDrag(train_.PermilleUnder(at));
      v = std::min(target, SpeedAfterBraking(v, -Ms(accel), 1));  // braking backwards: gaining
    }
    return v;
  }

  // The beacon that points the cab at the stop comes too late for the
  // final braking: it is named, with where it must lie.
  void LateForTheStop(const Station& st, const StopForecast& f) {
    const RouteBeacon& b = *f.late;
    const bool station = b.data.type == kBeaconStation;
    const std::string what =
        station ? fmt::format(
                      "station beacon at {:.0f} m points the cab at the stop at {:.0f} m "
                      "only {:.0f} m before it (until then the cab aims at the stop after)",
                      b.location, st.stop, f.d)
                : fmt::format(
                      "stopping-point beacon at {:.0f} m gives its stop at {:.0f} m only "
                      "{:.0f} m before it",
                      b.location, st.stop, f.d);
    const double needed = InTime(st.stop, f.style, f.away);
    const RouteBeacon* given = station ? StoppingPointBefore(b) : nullptr;
    const std::string also = given != nullptr && given->location > st.stop - needed
                                 ? fmt::format(", with the stopping-point beacon at {:.0f} m ({})",
                                               given->location, LineName(given->line))
                                 : "";
    Warn(b.line, fmt::format("{}: even from {:.0f} km/h, as slow as automatic driving runs "
                             "there, the final braking is expected to stop station {} about "
                             "{:.1f} m {}; move it at least {:.0f} m before the stop{}",
                             what, f.speed, st.name, std::fabs(f.error),
                             f.error < 0 ? "short" : "beyond", std::ceil(needed), also));
  }

  // The least distance before a stop from which the cab, pointed at it
  // there, brings the train in: each distance from where the stopping curve
  // meets the limit down, until one fails.
  double InTime(double stop, int style, double away) const {
    const double meets = stop - CurveMeets(stop, style);
    double needed = meets;
    for (double x = std::floor(meets); x > 0; x -= 1) {
      const double v = ComingAt(stop, style, x, away) + kOverTarget;
      if (std::fabs(StopError(stop, style, stop - x, v)) > kStopErrorAllowed) break;
      needed = x;
    }
    return needed;
  }

  const RouteBeacon* StoppingPointBefore(const RouteBeacon& b) const {
    const RouteBeacon* last = nullptr;
    for (const RouteBeacon& x : s_.beacons) {
      if (&x == &b) break;
      if (x.data.type == kBeaconStoppingPoint) last = &x;
    }
    return last;
  }

  // Style 3 has doors right only: at a left-door platform its code gives
  // the stop its style, and the station's own code after the station
  // beacon the doors' side.
  static std::string ShortFix(int style, bool byGrade, int32_t doorSide) {
    const char* grade = byGrade ? "a more level approach" : "a slower approach or a fall into it";
    const char* side =
        doorSide < 0 ? ", before the station beacon, the station's own code after it" : "";
    return style == 3 ? grade
                      : fmt::format(
                            "style 3 (codes 17 and 20, doors right{}), whose lightest notch "
                            "is 3, or {}",
                            side, grade);
  }

  // The run's forecast overruns at `limit`: the advice starts below it.
  std::string OverrunFix(double stop, int style, double limit, bool byGrade) const {
    double slower = limit - 1;
    while (slower > kSlowestApproach && DrivenStopError(stop, style, slower) > kStopErrorAllowed) {
      slower -= 1;
    }
    if (slower <= kSlowestApproach) {
      return byGrade ? "no approach speed helps: a gentler grade into the platform or stronger "
                       "brakes"
                     : "no approach speed helps: a rise into the platform or a brake that acts "
                       "sooner";
    }
    return fmt::format("approach at {:.0f} km/h or less", slower);
  }

  // Where the stopping curve into a stop meets a limit, by default the
  // envelope's: from there it governs.
  double CurveMeets(double stop, int style, double limit = NAN) const {
    const beacon::StoppingCurve curve = beacon::StoppingCurveOf(style);
    double x = stop;
    while (stop - x < 5000 &&
           curve.SpeedAt(stop - x) < (std::isnan(limit) ? envelope_.SpeedAt(x) : limit)) {
      x -= std::isnan(limit) ? 1 : 0.1;
    }
    return x;
  }

  // Metres past the stop where the train first stands: as the run's
  // forecast has it, else driven in at `limit` km/h from near the stop.
  double Stood(const Station& st, double limit) const {
    for (const StationTime& t : forecast_.stations) {
      if (t.station == &st && !std::isnan(t.stood)) return t.stood - st.stop;
    }
    return DrivenStopError(st.stop, StyleOfStop(s_, st.stop), limit);
  }

  // Metres past the stopping point (negative: short) where the train
  // stands, driven in at `limit` km/h: the run's own train model under
  // automatic driving, frame by frame, from a few seconds before the
  // stopping curve governs, so that the train comes at it as the run does,
  // at whatever phase of its powering and coasting.
  double DrivenStopError(double stop, int style, double limit) const {
    const beacon::StoppingCurve curve = beacon::StoppingCurveOf(style);
    TrainModel train(s_.dynamics, s_.gradients);
    TrainMotion m{CurveMeets(stop, style, limit) - Ms(limit) * kDrivenFor, limit};
    train.Settle(m);
    auto_driving::Driving driving;
    driving.Running();
    ATS_HANDLES handles{0, 0, 1, 0};
    while (m.speed > 0 && m.location < stop + kFarPast) {
      train.Frame(m, handles, s_.timeStep);
      const double aim = curve.Aim(stop - m.location);
      handles = driving.Frame({m.speed, std::min(limit, aim), 0.0, limit >= aim, style,
                               stop - m.location, false, m.location, -INFINITY});
      handles.power = std::min(handles.power, s_.vehicle.powerNotchCount);
    }
    return m.location - stop;
  }

  // Metres past the stopping point (negative: short) where the train
  // stands after running at v km/h from a location on: the run's own train
  // model, frame by frame, under the notches automatic driving stops with.
  double StopError(double stop, int style, double from, double v) const {
    TrainModel train(s_.dynamics, s_.gradients);
    TrainMotion m{from, v};
    train.Settle(m);
    ATS_HANDLES handles{0, 0, 1, 0};
    while (m.speed > 0 && m.location < stop + kFarPast) {
      handles.brake = beacon::StoppingNotch(style, stop - m.location, m.speed, handles.brake);
      train.Frame(m, handles, s_.timeStep);
    }
    return m.location - stop;
  }

  // A station whose departure comes before the train can leave.
  void Timetable() {
    const double dwell = s_.doors.automatic ? s_.doors.dwellSeconds : 0;
    const double delay = s_.doors.startKey ? s_.doors.startDelaySeconds : 0;
    for (const auto& [st, arrives, ready, leaves, stood] : forecast_.stations) {
      if (std::isnan(ready) || !st->departureMs || *st->departureMs / 1000.0 >= ready - 0.5)
        continue;
      Warn(st->line, fmt::format("station {} departs at {}, but the train can leave at {} at the "
                                 "earliest (arriving at {}, the doors open {:.0f} s, the driver "
                                 "ready {:.0f} s later)",
                                 st->name, FormatClock(*st->departureMs),
                                 FormatClock(static_cast<int32_t>(std::ceil(ready) * 1000)),
                                 FormatClock(static_cast<int32_t>(arrives * 1000)), dwell, delay));
    }
  }

  const Scenario& s_;
  TrainModel train_;  // for its queries only: StopError runs its own
  SpeedEnvelope envelope_;
  ForecastedRun forecast_;                 // the run as forecast
  std::set<const LineLimit*> limitsTold_;  // a limit the beacons let the train above
  std::vector<std::string> warnings_;
};

}  // namespace

std::vector<std::string> CheckAgainstLine(const Scenario& s) { return LineCheck(s).Run(); }

std::optional<double> ForecastStopError(const Scenario& s, const Station& st) {
  const std::optional<StopForecast> f = LineCheck(s).Forecast(st);
  return f ? std::optional<double>(f->error) : std::nullopt;
}

bool StopWarned(const Scenario& s, const Station& st) {
  const std::optional<double> error = ForecastStopError(s, st);
  return error && std::fabs(*error) > kStopErrorAllowed;
}
