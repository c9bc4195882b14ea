#include "layout/placement.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "model/beacon_codes.h"
#include "model/units.h"
#include "scenario/scenario_error.h"
#include "scenario/toml_text.h"

namespace {

constexpr double kCurveDecel = 0.6;  // m/s²: the braking curves laid out, well inside notch 8
constexpr double kGroupMargin = 60;  // m between a station group and its stopping curve
// m: a train creeping in below 30 km/h settles at its speed over them first
constexpr double kCreepMargin = 100;
constexpr double kRaiseBeforeStop = 3;  // m: well inside the final braking

// The text gives the beacon's own whole numbers: the file runs as judged.
Placed BrakingCurve(double start, double finalKmh, double end) {
  const beacon::Braking curve{0, static_cast<int32_t>(finalKmh), static_cast<int32_t>(end)};
  return Make(start, kBeaconBraking, beacon::Pack(curve),
              fmt::format("braking = {{ final_speed = {}, end = {} }}", curve.finalSpeed, curve.end));
}

Placed SpeedLimit(double at, double kmh) {
  return Make(at, kBeaconSpeedLimit, static_cast<int64_t>(kmh),
              fmt::format("speed_limit = {:.0f}", kmh));
}

}  // namespace

Placed Make(double location, int32_t type, int64_t optional, std::string text) {
  return {{std::round(location), {type, 0, 0, static_cast<int32_t>(optional)}, 0}, std::move(text)};
}

Placed CodeBeacon(double at, int32_t code) {
  return Make(at, kBeaconLocation, code, fmt::format("location_code = {}", code));
}

bool Laid(int32_t type) { return type >= kBeaconStation && type <= kBeaconBraking; }

std::vector<int32_t> Codes(int32_t side) {
  if (side != 0) return beacon::SideCodes(side);
  std::vector<int32_t> out = {beacon::SideCodes(-1).front()};
  for (const int32_t code : OtherSidesStyles(-1)) out.push_back(code);
  return out;
}

std::vector<int32_t> OtherSidesStyles(int32_t side) {
  const std::vector<int32_t> own = beacon::SideCodes(side);
  std::vector<int32_t> out;
  for (const int32_t code : beacon::SideCodes(-side)) {
    const int style = beacon::FinalBrakingStyle(code);
    if (std::none_of(own.begin(), own.end(),
                     [&](int32_t c) { return beacon::FinalBrakingStyle(c) == style; }))
      out.push_back(code);
  }
  return out;
}

Placement::Placement(const Scenario& s) : s_(s), length_(s.dynamics.lengthMetres) { LineLimits(); }

double Placement::LimitAt(double x) const {
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
void Placement::LineLimits() {
  double previous = 0;
  for (const LineLimit& l : s_.limits) {
    const double at = std::max(l.from, s_.startLocation);
    if (l.kmh > previous) {  // the first limit too: previous is 0
      const double raise = previous == 0 ? at : Postponed(l.from + length_, l.kmh);
      limits_.push_back(SpeedLimit(raise, l.kmh));
    } else if (l.kmh < previous) {
      const double start = l.from - BrakingDistance(previous, l.kmh, kCurveDecel) - 10;
      limits_.push_back(BrakingCurve(start, l.kmh, l.from));
      spans_.push_back({start, l.from});
    }
    previous = l.kmh;
  }
}

// A limit raised inside a station's approach would leave the stopping
// curve too little room: it is raised as the train leaves the station.
double Placement::Postponed(double raise, double kmh) const {
  const double reach = BrakingDistance(kmh, 0, beacon::StoppingCurveOf(1).decel) + 2 * kGroupMargin;
  for (const Station& st : s_.stations) {
    if (raise > st.stop - reach && raise <= st.stop) return st.stop + 5;
  }
  return raise;
}

double Placement::BeaconLimit(double stop) const {
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

Placed Placement::StoppingPoint(size_t k, double at) const {
  const int32_t next = static_cast<int32_t>(k + 1 < s_.stations.size() ? Stop(k + 1) : Stop(k));
  CheckStep(k);
  const beacon::StoppingPoints p{static_cast<int32_t>(Stop(k)), next};
  return Make(at, kBeaconStoppingPoint, beacon::Pack(p),
              fmt::format("stopping_point = {}", TomlQuoted(s_.stations[k].name)));
}

void Placement::CheckStep(size_t k) const {
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

Placed Placement::StationBeacon(size_t k, double at, double limit) const {
  const int32_t departure = s_.stations[k].departureMs.value_or(0) / 1000;
  return Make(
      at, kBeaconStation, beacon::Pack(beacon::Station{static_cast<int32_t>(limit), departure}),
      fmt::format("station = {{ name = {}, limit = {:.0f} }}", TomlQuoted(s_.stations[k].name), limit));
}

std::vector<Placed> Placement::StartGroup(size_t k) const {
  const double stop = Stop(k);
  return {CodeBeacon(stop, Codes(s_.stations[k].doorSide).front()), StoppingPoint(k, stop),
          StationBeacon(k, stop, LimitAt(stop))};
}

// A braking curve down to v where v is below the line's limit, then the
// stopping-point, location and station beacons, clear of every braking curve.
std::optional<std::vector<Placed>> Placement::Group(size_t k, int32_t code, double v) const {
  const double stop = Stop(k), line = BeaconLimit(stop);
  const beacon::StoppingCurve curve = beacon::StoppingCurveOf(beacon::FinalBrakingStyle(code));
  const double margin = v < kLowestApproach ? kCreepMargin : kGroupMargin;
  const double reach = BrakingDistance(std::min(v, line), 0, curve.decel) + margin;
  std::vector<Placed> group;
  double at = stop - reach;
  if (v < line) {
    const double end = at - 5;
    const double start = end - BrakingDistance(line, v, kCurveDecel) - 10;
    group.push_back(BrakingCurve(start, v, end));
    if (start <= Previous(k) + 20 || Inside(start) || Crosses(start, stop, line)) {
      return std::nullopt;
    }
  }
  for (const Span& span : spans_) {
    if (at + 20 >= span.from && at < span.to) at = span.from - 30;
  }
  if (at <= Previous(k) + 10 || (v < line && at < group[0].beacon.location)) return std::nullopt;
  group.push_back(StoppingPoint(k, at));
  group.push_back(CodeBeacon(at + 10, code));
  group.push_back(StationBeacon(k, at + 20, std::min(v, Lowest(at + 20))));
  // The approach's limit would also be the departure's: the line's returns
  // in the final braking, where the stopping curve is the lower.
  if (const double away = Lowest(stop); v < away)
    group.push_back(SpeedLimit(stop - kRaiseBeforeStop, away));
  return group;
}

// The lowest line limit under a train whose front is at x.
double Placement::Lowest(double x) const {
  const LineLimit* l = LowestOver(s_.limits, x - length_, x);
  return l != nullptr ? l->kmh : LimitAt(x);
}

// Whether a braking curve from `from` to `to` would meet a limit beacon,
// which ends it, or a restriction of the line, which it would run over.
bool Placement::Crosses(double from, double to, double line) const {
  for (const Placed& p : limits_) {
    if (p.beacon.location >= from && p.beacon.location < to) return true;
  }
  const LineLimit* lowest = LowestOver(s_.limits, from - length_, to);
  return lowest != nullptr && lowest->kmh < line;
}

bool Placement::Inside(double x) const {
  return std::any_of(spans_.begin(), spans_.end(),
                     [&](const Span& s) { return x >= s.from && x < s.to; });
}
