#include "line_check.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "beacon_codes.h"
#include "cab.h"
#include "clock_text.h"
#include "route_check.h"
#include "speed_envelope.h"

namespace {

constexpr int kOverspeedNotch = 4;
constexpr int kServiceNotch = 8;
constexpr double kGravity = 9.80665;
constexpr double kOverrunAllowed = kDockedWindow / 2;  // m a stop may run past and still dock
constexpr double kFlatTolerance = 0.5;                 // km/h: a beacon limit equal to the line's
constexpr double kSlowestApproach = 10;                // km/h: slower is no help worth giving
constexpr double kOverTarget = 1;  // km/h automatic driving runs above its target before braking

double Ms(double kmh) { return kmh / 3.6; }
double KmhPerS(double ms2) { return ms2 * 3.6; }

class LineCheck {
 public:
  explicit LineCheck(const Scenario& s)
      : s_(s), grades_(s.dynamics, s.gradients), envelope_(s, grades_) {}

  std::vector<std::string> Run() {
    Limits();
    for (size_t i = 0; i < envelope_.Pieces().size(); ++i) CurveTooSteep(envelope_.Pieces()[i]);
    Falls();
    for (const Station& st : s_.stations) StopOnTheGrade(st);
    Timetable();
    return std::move(warnings_);
  }

 private:
  void Warn(int line, const std::string& message) {
    warnings_.push_back(Warning(s_, line, message));
  }
  double Length() const { return s_.dynamics.lengthMetres; }

  // Where the beacons let the train run above the line's limit under any
  // part of it: checked where a piece starts and where a limit falls.
  void Limits() {
    if (s_.limits.empty()) return;
    std::vector<double> at;
    for (const EnvelopePiece& p : envelope_.Pieces()) at.push_back(p.from);
    for (const LineLimit& l : s_.limits) at.push_back(l.from);
    std::sort(at.begin(), at.end());
    std::map<std::pair<const EnvelopePiece*, const LineLimit*>, bool> told;
    for (double x : at) {
      if (x < s_.startLocation || x > s_.endLocation) continue;
      const LineLimit* limit = LowestOver(s_.limits, x - Length(), x);
      const EnvelopePiece& piece = PieceAt(x);
      const double speed = envelope_.SpeedAt(x);
      const double allowed =
          limit == nullptr ? INFINITY
                           : limit->kmh + (piece.flat() ? kFlatTolerance : s_.overspeedMarginKmh);
      if (speed <= allowed || piece.from == -INFINITY || told[{&piece, limit}]) continue;
      told[{&piece, limit}] = true;
      AboveLimit(piece, *limit, x, speed);
    }
  }

  const EnvelopePiece& PieceAt(double x) const {
    const std::vector<EnvelopePiece>& pieces = envelope_.Pieces();
    const auto after =
        std::upper_bound(pieces.begin(), pieces.end(), x,
                         [](double at, const EnvelopePiece& p) { return at < p.from; });
    return *std::prev(after);
  }

  void AboveLimit(const EnvelopePiece& piece, const LineLimit& limit, double x, double speed) {
    const RouteBeacon& b = s_.beacons[piece.beacon];
    const std::string line = fmt::format("the line's {:.0f} km/h limit from {:.0f} m (line {})",
                                         limit.kmh, limit.from, limit.line);
    if (piece.flat()) {
      const LineLimit* front = LimitAt(s_.limits, x);
      const std::string fix =
          front != nullptr && front->kmh >= speed
              ? fmt::format(
                    "the rear of the train is within it until {:.0f} m: raise the limit "
                    "there or later",
                    NextLimitFrom(limit) + Length())
              : fmt::format("lower it to {:.0f} km/h by {:.0f} m", limit.kmh, limit.from);
      Warn(b.line, fmt::format("the beacons allow {:.0f} km/h from {:.0f} m, above {}: {}", speed,
                               b.location, line, fix));
      return;
    }
    const double shed = (std::pow(Ms(piece.v0), 2) - std::pow(Ms(limit.kmh), 2)) /
                        (2 * std::max(piece.decel, 1e-9));
    Warn(b.line, fmt::format("the train comes to {:.0f} m at about {:.0f} km/h, above {}: from "
                             "{:.0f} km/h it needs {:.0f} m to slow down; lower the limit by "
                             "{:.0f} m, or end a braking curve to {:.0f} km/h there",
                             x, speed, line, piece.v0, shed, std::floor(limit.from - shed),
                             limit.kmh, limit.from));
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
    const double asked =
        (std::pow(Ms(p.v0), 2) - std::pow(Ms(c.finalSpeed), 2)) / (2 * (c.end - b.location));
    if (asked <= p.decel + 1e-9) return;
    const double permille = grades_.MeanPermille(b.location - Length(), c.end);
    const double start = c.end - (std::pow(Ms(p.v0), 2) - std::pow(Ms(c.finalSpeed), 2)) /
                                     (2 * std::max(p.decel, 1e-9));
    Warn(b.line, fmt::format("braking curve from {:.0f} to {} km/h by {} m on {:.1f} ‰: notch 8 "
                             "leaves {:.2f} km/h/s, the curve needs {:.2f}: the train runs above "
                             "it; start it at or before {:.0f} m",
                             p.v0, c.finalSpeed, c.end, permille, KmhPerS(p.decel), KmhPerS(asked),
                             std::floor(start)));
  }

  // A fall steeper than the overspeed brake can hold a speed on.
  void Falls() {
    const double notch4 = s_.dynamics.decelByNotch[kOverspeedNotch];
    for (const Gradient& g : s_.gradients) {
      const double pull = KmhPerS(-g.permille / 1000 * kGravity);
      if (pull < notch4) continue;
      Warn(g.line, fmt::format("the fall of {:.1f} ‰ from {:.0f} m pulls {:.2f} km/h/s, and the "
                               "overspeed brake (notch 4) gives {:.2f}: the train runs away above "
                               "its target there",
                               -g.permille, g.from, pull, notch4));
    }
  }

  // A stop the service brake cannot make on the grade of its approach.
  void StopOnTheGrade(const Station& st) {
    if (st.stop <= s_.startLocation || st.stop > s_.endLocation) return;
    const int style = StyleOfStop(s_, st.stop);
    const beacon::StoppingCurve curve = beacon::StoppingCurveOf(style);
    double d = 0;  // where the stopping curve meets the envelope
    while (d < 5000 && curve.SpeedAt(d) < envelope_.SpeedAt(st.stop - d)) d += 1;
    const double v = std::min(curve.SpeedAt(d), envelope_.SpeedAt(st.stop - d)) + kOverTarget;
    const double overrun = Overrun(st.stop, curve, v);
    if (overrun <= kOverrunAllowed) return;
    double slower = v;
    while (slower > kSlowestApproach && Overrun(st.stop, curve, slower) > kOverrunAllowed)
      slower -= 1;
    const std::string fix =
        slower > kSlowestApproach
            ? fmt::format("approach at {:.0f} km/h or less", slower)
            : std::string(
                  "no approach speed helps: a gentler grade into the platform or stronger "
                  "brakes");
    const double can = envelope_.Decel(kServiceNotch, st.stop - d - Length(), st.stop);
    Warn(st.line,
         fmt::format("station {}: the last {:.0f} m fall at {:.1f} ‰ on average: notch 8 leaves "
                     "{:.2f} km/h/s, the style-{} stopping curve needs {:.2f}: expect an overrun "
                     "of about {:.1f} m from {:.0f} km/h; {}",
                     st.name, d + Length(), -grades_.MeanPermille(st.stop - d - Length(), st.stop),
                     KmhPerS(can), style, KmhPerS(curve.decel), overrun, v, fix));
  }

  // Metres past the stopping point where the train stands after an
  // approach at v km/h, run metre by metre: its brake bites lag + delay
  // seconds after it meets the stopping curve; then it follows the curve
  // where notch 8 on the grade under it can, and falls behind where not.
  double Overrun(double stop, const beacon::StoppingCurve& curve, double v) const {
    const double step = 0.25;
    double x = stop, speed = Ms(v);
    while (curve.SpeedAt(stop - x) > v) x += step;  // SpeedAt grows with the distance
    while (curve.SpeedAt(stop - x) < v) x -= step;
    double late = (s_.dynamics.lagSeconds + s_.dynamics.brakeDelaySeconds) * speed;
    for (; speed > 0 && x < stop + 500; x += step, late -= step) {
      const double grade = envelope_.Decel(0, x - Length(), x);
      const double brake = envelope_.Decel(kServiceNotch, x - Length(), x);
      const double a = late > 0                              ? grade
                       : speed > Ms(curve.SpeedAt(stop - x)) ? brake
                                                             : std::min(brake, curve.decel);
      speed = std::sqrt(std::max(0.0, speed * speed - 2 * a * step));
    }
    return x - stop - curve.offset;
  }

  // The earliest the train can be at each station: the envelope, its
  // acceleration from the last stop and its stopping curve into the next.
  void Timetable() {
    const double accel = Ms(s_.dynamics.accelPerNotch * std::min(4, s_.vehicle.powerNotchCount));
    double from = s_.startLocation, leaves = s_.startTimeMs / 1000.0;
    for (const Station& st : s_.stations) {
      if (st.stop < s_.startLocation || st.stop > s_.endLocation) continue;
      const beacon::StoppingCurve curve = beacon::StoppingCurveOf(StyleOfStop(s_, st.stop));
      double seconds = 0;
      for (double x = from + 0.5; x < st.stop; x += 1) {  // the time for each metre
        const double v = std::min({envelope_.SpeedAt(x), 3.6 * std::sqrt(2 * accel * (x - from)),
                                   curve.SpeedAt(st.stop - x)});
        if (v <= 0) return;  // nothing lets the train on: no time to give
        seconds += 1 / Ms(v);
      }
      const double arrives = leaves + seconds;
      const double dwell = s_.doors.automatic ? s_.doors.dwellSeconds : 0;
      const double ready = s_.doors.startKey ? s_.doors.startDelaySeconds : 0;
      const double earliest = arrives + dwell + ready;
      if (st.departureMs && *st.departureMs / 1000.0 < earliest - 0.5) {
        Warn(st.line,
             fmt::format(
                 "station {} departs at {}, but the train can leave at {} at the "
                 "earliest (arriving at {}, the doors open {:.0f} s, the driver ready {:.0f} s "
                 "later)",
                 st.name, FormatClock(*st.departureMs),
                 FormatClock(static_cast<int32_t>(std::ceil(earliest) * 1000)),
                 FormatClock(static_cast<int32_t>(arrives * 1000)), dwell, ready));
      }
      from = st.stop;
      leaves = std::max(earliest, st.departureMs.value_or(0) / 1000.0);
    }
  }

  const Scenario& s_;
  TrainModel grades_;
  SpeedEnvelope envelope_;
  std::vector<std::string> warnings_;
};

}  // namespace

int StyleOfStop(const Scenario& s, double stop) {
  int32_t code = 0, atStation = 0;
  for (const RouteBeacon& b : s.beacons) {
    if (b.location >= stop) break;
    if (b.data.type == kBeaconLocation) code = b.data.optional;
    if (b.data.type == kBeaconStation) atStation = code;
  }
  return beacon::FinalBrakingStyle(atStation);
}

std::vector<std::string> CheckAgainstLine(const Scenario& s) { return LineCheck(s).Run(); }
