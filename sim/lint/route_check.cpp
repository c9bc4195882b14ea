#include "lint/route_check.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "lint/warning.h"
#include "model/beacon_codes.h"
#include "model/cab.h"
#include "model/clock_text.h"
#include "model/dynamics.h"
#include "model/units.h"

namespace {

// The line as the train finds it at each beacon, for the checks.
class RouteWalk {
 public:
  explicit RouteWalk(const Scenario& s) : s_(s), train_(s.dynamics) {
    for (size_t i = 0; i < s.beacons.size(); ++i) OfType(s.beacons[i].data.type).push_back(i);
  }

  std::vector<std::string> Run() {
    for (size_t i = 0; i < s_.beacons.size(); ++i) {
      const RouteBeacon& b = s_.beacons[i];
      if (b.location > s_.endLocation) Warn(b, "beacon past the end of the route");
      if (curve_ && b.location >= CurveOf(*curve_).end) curve_.reset();
      if (b.data.type == kBeaconStoppingPoint || b.data.type == kBeaconSpeedLimit) EndsCurve(i);
      switch (b.data.type) {
        case kBeaconStoppingPoint: StoppingPoint(i); break;
        case kBeaconStation: Station(i); break;
        case kBeaconSpeedLimit: LowerLimit(i, b.data.optional); break;
        case kBeaconBraking: Braking(i); break;
        case kBeaconLocation: style_ = beacon::FinalBrakingStyle(b.data.optional); break;
        default: break;
      }
    }
    for (size_t k = 0; k < s_.stations.size(); ++k) StationBeacons(k);
    if (!s_.stations.empty()) {
      for (size_t i : OfType(kBeaconStoppingPoint)) StopOfNoStation(s_.beacons[i]);
    }
    return std::move(warnings_);
  }

 private:
  static constexpr double kNear = beacon::kStoppingPointStep / 2.0;  // m: a stop given in 25s

  const ::Station* StationAt(double stop) const {
    for (const ::Station& st : s_.stations) {
      if (std::fabs(st.stop - stop) <= kNear) return &st;
    }
    return nullptr;
  }

  // What a station needs between the stop before it and its own: beacons at
  // all, a stopping-point beacon that gives its stop, a location code.
  void StationBeacons(size_t k) {
    const ::Station& st = s_.stations[k];
    if (st.stop <= s_.startLocation) return;  // the train starts there
    const double previous = k > 0 ? s_.stations[k - 1].stop : -INFINITY;
    const auto between = [&](int32_t type, const auto& match) {
      for (size_t i : OfType(type)) {
        const RouteBeacon& b = s_.beacons[i];
        if (b.location > previous && b.location <= st.stop && match(b)) return true;
      }
      return false;
    };
    const auto any = [](const RouteBeacon&) { return true; };
    bool none = true;
    for (int32_t type = kBeaconRunNumber; type <= kBeaconRain; ++type) none &= !between(type, any);
    const auto warn = [&](const std::string& what) { WarnAt(st, what); };
    if (none)
      return warn("no beacon between the stop before it and its own: the train runs through");
    const auto gives = [&](const RouteBeacon& b) {
      return std::fabs(beacon::StoppingPointsOf(b.data.optional).thisStop - st.stop) <= kNear;
    };
    // The beacons the train has passed when it stands there, those at its
    // start among them.
    const double passed =
        std::max(st.stop - kDockedWindow, std::nextafter(s_.startLocation, INFINITY));
    const RouteBeacon* last = LastBefore(kBeaconStoppingPoint, passed);
    if (last != nullptr && !gives(*last) && between(kBeaconStoppingPoint, gives)) {
      const double aim = beacon::StoppingPointsOf(last->data.optional).thisStop;
      warn(
          fmt::format("the stopping-point beacon at {:.0f} m ({}) gives the stop at {:.0f} m "
                      "after the one that gives its own, so the train {}: move it past {:.0f} m",
                      last->location, LineName(last->line), aim,
                      aim > st.stop ? "runs through" : "stops short of it", st.stop));
    } else if (last == nullptr || !gives(*last)) {
      warn(
          fmt::format("no stopping-point beacon before it gives its stop, so the train will not "
                      "stop there: add stopping_point = \"{}\"",
                      st.name));
    }
    if (k + 1 < s_.stations.size()) CodeInForce(st, passed);
    if (k > 0 && !between(kBeaconLocation, any)) {
      warn(
          fmt::format("no location-code beacon since {}: the stop keeps that stop's braking style "
                      "and door side",
                      s_.stations[k - 1].name));
    }
  }

  void WarnAt(const ::Station& st, const std::string& what) {
    warnings_.push_back(
        Warning(s_, st.line, fmt::format("station {} at {:.0f} m: {}", st.name, st.stop, what)));
  }

  // The location code in force where the train stands at a station it is
  // to leave must let the cab offer the departure.
  void CodeInForce(const ::Station& st, double passed) {
    const RouteBeacon* code = LastBefore(kBeaconLocation, passed);
    if (code == nullptr || code->location < s_.startLocation ||
        beacon::OffersDeparture(code->data.optional))
      return;
    WarnAt(st, fmt::format("the location code in force there, {} at {:.0f} m ({}: {}), never lets "
                           "the cab show \"ready to depart\", so the train stays: give it a code "
                           "of location group 1 or 2",
                           code->data.optional, code->location, LineName(code->line),
                           beacon::DescribeLocation(code->data.optional)));
  }

  // The last beacon of a type before a location.
  const RouteBeacon* LastBefore(int32_t type, double x) const {
    const std::vector<size_t>& list = OfType(type);
    const auto past = std::lower_bound(list.begin(), list.end(), x, [&](size_t k, double a) {
      return s_.beacons[k].location < a;
    });
    return past == list.begin() ? nullptr : &s_.beacons[*std::prev(past)];
  }

  void StopOfNoStation(const RouteBeacon& b) {
    const double stop = beacon::StoppingPointsOf(b.data.optional).thisStop;
    if (StationAt(stop) != nullptr) return;
    const auto nearest = std::min_element(
        s_.stations.begin(), s_.stations.end(), [&](const ::Station& x, const ::Station& y) {
          return std::fabs(x.stop - stop) < std::fabs(y.stop - stop);
        });
    Warn(b, fmt::format("stopping-point beacon gives a stop at {:.0f} m, where no station stops "
                        "(the nearest: {} at {:.0f} m): write stopping_point = \"{}\"",
                        stop, nearest->name, nearest->stop, nearest->name));
  }

  beacon::Braking CurveOf(size_t i) const { return beacon::BrakingOf(s_.beacons[i].data.optional); }

  // A stopping-point or speed-limit beacon ends a braking curve that runs.
  void EndsCurve(size_t i) {
    if (!curve_) return;
    const RouteBeacon& b = s_.beacons[i];
    const RouteBeacon& start = s_.beacons[*curve_];
    const beacon::Braking curve = CurveOf(*curve_);
    const double kept = b.data.type == kBeaconSpeedLimit ? b.data.optional : limitBeforeCurve_;
    Warn(b,
         fmt::format("{} beacon ends the braking curve of the beacon at {:.0f} m (to {} km/h "
                     "by {} m) before it has run, and the limit is then {:.0f} km/h: move "
                     "this beacon before {:.0f} m or to {} m or beyond",
                     b.data.type == kBeaconSpeedLimit ? "speed-limit" : "stopping-point",
                     start.location, curve.finalSpeed, curve.end, kept, start.location, curve.end));
    limit_ = limitBeforeCurve_;
    curve_.reset();
  }

  void Warn(const RouteBeacon& b, const std::string& message) {
    warnings_.push_back(Warning(s_, b.line, message));
  }

  // Metres a frame can carry the train at the limit.
  double FrameTravel() const { return Ms(limit_) * s_.timeStep * (1 + s_.timeStepJitter); }
  double StoppingCurve(double from) const {
    return BrakingDistance(from, 0, beacon::StoppingCurveOf(style_).decel) + FrameTravel();
  }

  // The indices of the beacons of a type, in location order.
  std::vector<size_t>& OfType(int32_t type) {
    return byType_[std::clamp<int32_t>(type, kBeaconRunNumber, kBeaconRain) - kBeaconRunNumber];
  }
  const std::vector<size_t>& OfType(int32_t type) const {
    return byType_[std::clamp<int32_t>(type, kBeaconRunNumber, kBeaconRain) - kBeaconRunNumber];
  }

  // The first beacon of a type after beacon i, before a location.
  const RouteBeacon* NextOf(size_t i, int32_t type, double before) const {
    const std::vector<size_t>& list = OfType(type);
    const auto next = std::upper_bound(list.begin(), list.end(), i);
    if (next == list.end() || s_.beacons[*next].location >= before) return nullptr;
    return &s_.beacons[*next];
  }

  // The stop ahead of a location, from the stopping points known there.
  double StopAhead(double location) const {
    if (thisStop_ > location) return thisStop_;
    return nextStop_ > location ? nextStop_ : INFINITY;
  }

  void StoppingPoint(size_t i) {
    const beacon::StoppingPoints p = beacon::StoppingPointsOf(s_.beacons[i].data.optional);
    thisStop_ = p.thisStop;
    nextStop_ = p.nextStop;
    stoppingPoint_ = i;
  }

  void Station(size_t i) {
    const RouteBeacon& b = s_.beacons[i];
    const beacon::Station station = beacon::StationOf(b.data.optional);
    if (!stoppingPoint_) {
      Warn(b, "station beacon with no stopping-point beacon before it");
    } else if (b.location > s_.startLocation && thisStop_ < b.location) {
      return StopBehind(i);
    }
    const double stop = StopAhead(b.location);
    FrozenStyle(i, stop);
    // While a braking curve runs it governs, and its final speed is the
    // limit once it has run: the station's limit holds only if a
    // stopping-point or speed-limit beacon ends the curve first.
    if (curve_) {
      limitBeforeCurve_ = station.limit;
    } else {
      LowerLimit(i, station.limit);
    }
    const ::Station* st = StationAt(thisStop_);  // the stop a station beacon announces
    if (st != nullptr && st->departureMs && *st->departureMs != station.departureSeconds * 1000) {
      Warn(b, fmt::format("station beacon departs at {}, but {} (line {}) departs at {}: write "
                          "station = \"{}\"",
                          FormatClock(station.departureSeconds * 1000), st->name, st->line,
                          FormatClock(*st->departureMs), st->name));
    }
  }

  // A station beacon announces the stop of the last stopping-point beacon:
  // one behind it halts the train where it is.
  void StopBehind(size_t i) {
    const RouteBeacon& b = s_.beacons[i];
    const RouteBeacon& given = s_.beacons[*stoppingPoint_];
    const int32_t departs = beacon::StationOf(b.data.optional).departureSeconds * 1000;
    const auto own = std::find_if(s_.stations.begin(), s_.stations.end(),
                                  [&](const ::Station& st) { return st.departureMs == departs; });
    const auto ahead = std::find_if(s_.stations.begin(), s_.stations.end(),
                                    [&](const ::Station& st) { return st.stop > b.location; });
    std::string fix;
    if (own != s_.stations.end() && own->stop <= b.location) {
      fix = fmt::format(
          "it departs at {}, as {} (line {}) does: move it to {}'s stop at {:.0f} m "
          "or before",
          FormatClock(departs), own->name, own->line, own->name, own->stop);
    } else if (ahead != s_.stations.end()) {
      fix = fmt::format("give {}'s stop before it with stopping_point = \"{}\"{}", ahead->name,
                        ahead->name, Overridden(*ahead, given));
    }
    Warn(b,
         fmt::format("station beacon announces the stop at {} m, {:.0f} m behind it, given by "
                     "the stopping-point beacon at {:.0f} m ({}): passing it, the cab's target "
                     "falls to 0 km/h and the overrun protection brakes the train to a stand{}{}",
                     thisStop_, b.location - thisStop_, given.location, LineName(given.line),
                     fix.empty() ? "" : "; ", fix));
  }

  // ": the one at 470 m (line 32) comes before ...": a stopping-point
  // beacon that gives the station's stop but is passed too early.
  std::string Overridden(const ::Station& st, const RouteBeacon& last) const {
    for (size_t k : OfType(kBeaconStoppingPoint)) {
      const RouteBeacon& b = s_.beacons[k];
      if (std::fabs(beacon::StoppingPointsOf(b.data.optional).thisStop - st.stop) > kNear ||
          b.location >= last.location) {
        continue;
      }
      return fmt::format(
          " (the one at {:.0f} m, {}, comes before the stopping-point beacon at {:.0f} m, whose "
          "stop the train is given instead{}: move it after that one)",
          b.location, LineName(b.line), last.location,
          b.location < s_.startLocation ? ", and behind the run's start" : "");
    }
    return "";
  }

  // From the station beacon on the dwell is pending, and the braking style
  // of the stop is the one in force a frame before it. A code passed later
  // gives the stop its door side only: a fault where no code before gave
  // the stop its style.
  void FrozenStyle(size_t i, double stop) {
    const RouteBeacon& station = s_.beacons[i];
    if (station.location <= s_.startLocation) return;  // no earlier stop's style to linger
    const double previous = std::max(lastStationStop_, s_.startLocation);
    lastStationStop_ = stop;
    const double travel = FrameTravel();
    const std::vector<size_t>& codes = OfType(kBeaconLocation);
    const auto at = [&](double x) {
      return std::lower_bound(codes.begin(), codes.end(), x,
                              [&](size_t k, double a) { return s_.beacons[k].location < a; });
    };
    const double from = std::max(station.location - travel, std::nextafter(previous, INFINITY));
    auto j = at(from);
    if (j != at(std::nextafter(previous, INFINITY))) return;  // the stop's style came before
    for (; j != codes.end() && s_.beacons[*j].location < stop; ++j) {
      const RouteBeacon& b = s_.beacons[*j];
      Warn(b, fmt::format("location beacon passed with or after the station beacon at {:.0f} m: "
                          "the stop keeps the previous stop's braking style; move it at least "
                          "{:.1f} m before the station beacon",
                          station.location, std::max(travel, 1.0)));
    }
  }

  // A lower limit the overspeed brake must shed before the stopping curve
  // or the next braking curve takes over.
  void LowerLimit(size_t i, double limit) {
    const RouteBeacon& b = s_.beacons[i];
    const double from = limit_;
    limit_ = limit;
    if (limit >= from || b.location <= s_.startLocation) return;
    const double stop = StopAhead(b.location);
    double end = stop - StoppingCurve(limit);
    if (const RouteBeacon* curve = NextOf(i, kBeaconBraking, end)) end = curve->location;
    const double notch4 = Ms(train_.Braking(notch::kOverspeed));
    const double needed = BrakingDistance(from, limit, notch4);
    if (!std::isfinite(end) || b.location + needed <= end) return;
    Warn(b,
         fmt::format("the limit falls from {:.0f} to {:.0f} km/h {:.0f} m before the stopping "
                     "curve at {:.0f} m, and notch 4 needs {:.0f} m to shed it: add a braking "
                     "beacon to {:.0f} km/h ending at {:.0f} m, at or before {:.0f} m (after any "
                     "stopping-point or speed-limit beacon there, which would end it)",
                     from, limit, end - b.location, end, needed, limit, std::floor(end),
                     std::floor(end - needed)));
  }

  void Braking(size_t i) {
    const RouteBeacon& b = s_.beacons[i];
    const beacon::Braking curve = beacon::BrakingOf(b.data.optional);
    const double stop = StopAhead(b.location);
    limitBeforeCurve_ = limit_;
    curve_ = i;
    limit_ = curve.finalSpeed;  // the limit once the curve has run out
    if (curve.end <= b.location) {
      Warn(b, fmt::format("braking curve ends at {} m, at or before its beacon", curve.end));
    } else if (curve.end > stop) {
      Warn(b, fmt::format("braking curve ends at {} m, beyond the stopping point at {:.0f} m: "
                          "while it runs the stopping curve is not used; end it before the stop",
                          curve.end, stop));
    }
  }

  const Scenario& s_;
  TrainModel train_;  // for its braking only
  std::array<std::vector<size_t>, kBeaconRain - kBeaconRunNumber + 1> byType_;
  std::vector<std::string> warnings_;
  double limit_ = 0;             // km/h, the last limit passed
  std::optional<size_t> curve_;  // the braking beacon whose curve runs
  double limitBeforeCurve_ = 0;
  double thisStop_ = -INFINITY, nextStop_ = -INFINITY;
  double lastStationStop_ = -INFINITY;
  std::optional<size_t> stoppingPoint_;  // the last stopping-point beacon passed
  int style_ = 1;
};

}  // namespace

std::vector<std::string> CheckBeacons(const Scenario& s) { return RouteWalk(s).Run(); }
