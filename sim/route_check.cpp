#include "route_check.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "beacon_codes.h"

namespace {

constexpr int kOverspeedNotch = 4;  // what automatic driving brakes an overspeed with

double MetresPerSecond(double kmh) { return kmh / 3.6; }

// Metres from v km/h to w km/h at a m/s².
double BrakingDistance(double v, double w, double a) {
  return (std::pow(MetresPerSecond(v), 2) - std::pow(MetresPerSecond(w), 2)) / (2 * a);
}

// The line as the train finds it at each beacon, for the checks.
class RouteWalk {
 public:
  explicit RouteWalk(const Scenario& s) : s_(s) {
    for (size_t i = 0; i < s.beacons.size(); ++i) OfType(s.beacons[i].data.type).push_back(i);
  }

  std::vector<std::string> Run() {
    for (size_t i = 0; i < s_.beacons.size(); ++i) {
      const RouteBeacon& b = s_.beacons[i];
      if (b.location > s_.endLocation) Warn(b, "beacon past the end of the route");
      switch (b.data.type) {
        case kBeaconStoppingPoint: StoppingPoint(i); break;
        case kBeaconStation: Station(i); break;
        case kBeaconSpeedLimit: LowerLimit(i, b.data.optional); break;
        case kBeaconBraking: Braking(i); break;
        case kBeaconLocation: style_ = beacon::FinalBrakingStyle(b.data.optional); break;
        default: break;
      }
    }
    std::vector<double> given;
    for (size_t i : OfType(kBeaconStoppingPoint)) {
      given.push_back(beacon::StoppingPointsOf(s_.beacons[i].data.optional).thisStop);
    }
    std::sort(given.begin(), given.end());
    for (const ::Station& st : s_.stations) Unannounced(st, given);
    return std::move(warnings_);
  }

 private:
  // A station whose stop no stopping-point beacon gives: the train runs through it.
  void Unannounced(const ::Station& st, const std::vector<double>& given) {
    if (st.stop <= s_.startLocation) return;  // the train starts there
    const double near = beacon::kStoppingPointStep / 2.0;
    const auto at = std::lower_bound(given.begin(), given.end(), st.stop - near);
    if (at != given.end() && *at <= st.stop + near) return;
    warnings_.push_back(
        fmt::format("{}:{}: warning: station {} at {:.0f} m: no stopping-point "
                    "beacon gives its stop, so the train will not stop there",
                    s_.path, st.line, st.name, st.stop));
  }

  void Warn(const RouteBeacon& b, const std::string& message) {
    warnings_.push_back(fmt::format("{}:{}: warning: {}", s_.path, b.line, message));
  }

  // Metres a frame can carry the train at the limit.
  double FrameTravel() const {
    return MetresPerSecond(limit_) * s_.timeStep * (1 + s_.timeStepJitter);
  }
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

  // Between this beacon and the station beacon after it the target is the
  // following stop; the train must still be able to stop from where the
  // station beacon brings the target back.
  void StoppingPoint(size_t i) {
    const RouteBeacon& b = s_.beacons[i];
    const beacon::StoppingPoints p = beacon::StoppingPointsOf(b.data.optional);
    thisStop_ = p.thisStop;
    nextStop_ = p.nextStop;
    stoppingPointSeen_ = true;
    if (p.thisStop <= b.location || b.location <= s_.startLocation) return;
    const RouteBeacon* station = NextOf(i, kBeaconStation, p.thisStop);
    const double back = station != nullptr ? station->location : b.location;
    const double needed = StoppingCurve(limit_);
    if (p.thisStop - back >= needed) return;
    const std::string which =
        station != nullptr && station->location > b.location
            ? fmt::format(
                  "it and the station beacon at {:.0f} m (the target is the next stop "
                  "between them)",
                  station->location)
            : std::string("it");
    Warn(b, fmt::format("stopping-point beacon {:.0f} m before its stop at {} m, inside the "
                        "stopping curve from {:.0f} km/h: move {} at least {:.0f} m before the "
                        "stop",
                        p.thisStop - b.location, p.thisStop, limit_, which, std::ceil(needed)));
  }

  void Station(size_t i) {
    const RouteBeacon& b = s_.beacons[i];
    const beacon::Station station = beacon::StationOf(b.data.optional);
    if (!stoppingPointSeen_) Warn(b, "station beacon with no stopping-point beacon before it");
    const double fastest = std::max(limit_, static_cast<double>(station.limit));
    const double stop = StopAhead(b.location);
    FrozenStyle(i, stop);
    LowerLimit(i, station.limit);
    if (fastest > 0 &&
        station.departureSeconds * 1000.0 <
            s_.startTimeMs + (b.location - s_.startLocation) / MetresPerSecond(fastest) * 1000) {
      Warn(b, "departure time earlier than the train can arrive");
    }
  }

  // From the station beacon on the dwell is pending, and the braking style
  // of the stop is the one in force a frame before it.
  void FrozenStyle(size_t i, double stop) {
    const RouteBeacon& station = s_.beacons[i];
    if (station.location <= s_.startLocation) return;  // no earlier stop's style to linger
    const double travel = FrameTravel();
    const std::vector<size_t>& codes = OfType(kBeaconLocation);
    const double from =
        std::max(station.location - travel, std::nextafter(lastStationStop_, INFINITY));
    auto j = std::lower_bound(codes.begin(), codes.end(), from,
                              [&](size_t k, double at) { return s_.beacons[k].location < at; });
    for (; j != codes.end() && s_.beacons[*j].location < stop; ++j) {
      const RouteBeacon& b = s_.beacons[*j];
      Warn(b, fmt::format("location beacon passed with or after the station beacon at {:.0f} m: "
                          "the stop keeps the previous stop's braking style; move it at least "
                          "{:.1f} m before the station beacon",
                          station.location, std::max(travel, 1.0)));
    }
    lastStationStop_ = stop;
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
    const double notch4 = s_.dynamics.decelByNotch[kOverspeedNotch] / 3.6;
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
  std::array<std::vector<size_t>, kBeaconRain - kBeaconRunNumber + 1> byType_;
  std::vector<std::string> warnings_;
  double limit_ = 0;  // km/h, the last limit passed
  double thisStop_ = -INFINITY, nextStop_ = -INFINITY;
  double lastStationStop_ = -INFINITY;
  int style_ = 1;
  bool stoppingPointSeen_ = false;
};

}  // namespace

std::vector<std::string> CheckRoute(const Scenario& s) { return RouteWalk(s).Run(); }
