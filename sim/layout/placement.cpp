#include "layout/placement.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "model/auto_driving.h"
#include "model/beacon_codes.h"
#include "model/units.h"
#include "scenario/scenario_error.h"
#include "scenario/toml_text.h"

namespace {

constexpr double kCurveDecel = 0.6;  // m/s²: the braking curves laid out, well inside notch 8
// Of notch 8 on the grade under a curve, at most: the brakes vary across trains.
constexpr double kCurveShareOfFullService = 0.85;
constexpr double kGentlestCurve = 0.15;  // m/s²
constexpr double kCurveMargin = 10;      // m a curve starts before it needs to
constexpr double kCodeLead = 10;         // m the location code comes before the station beacon
constexpr double kSideLag = 1;           // m the station's own code follows it, for the door side
// km/h: the cab offers a departure only above 10 km/h.
constexpr double kLowestDeparture = 15;

// The text gives the beacon's own whole numbers: the file runs as judged.
Placed BrakingCurve(double start, double finalKmh, double end) {
  const beacon::Braking curve{0, static_cast<int32_t>(finalKmh), static_cast<int32_t>(end)};
  return Make(
      start, kBeaconBraking, beacon::Pack(curve),
      fmt::format("braking = {{ final_speed = {}, end = {} }}", curve.finalSpeed, curve.end));
}

// Beacons where the train stands, to the centimetre: passed at the start,
// where a whole metre may lie behind the train or ahead of it.
std::vector<Placed> AtTheStart(std::vector<Placed> group, double start) {
  for (Placed& p : group) p.beacon.location = start;
  return group;
}

}  // namespace

Placed Make(double location, int32_t type, int64_t optional, std::string text) {
  return {{std::round(location), {type, 0, 0, static_cast<int32_t>(optional)}, 0}, std::move(text)};
}

Placed CodeBeacon(double at, int32_t code) {
  return Make(at, kBeaconLocation, code, fmt::format("location_code = {}", code));
}

// Whole km/h, never above the limit asked for: the text is the beacon's own number.
Placed SpeedLimit(double at, double kmh) {
  const auto whole = static_cast<int64_t>(kmh);
  return Make(at, kBeaconSpeedLimit, whole, fmt::format("speed_limit = {}", whole));
}

bool BehindTheStart(const Scenario& s, size_t k) {
  return s.stations[k].stop < s.startLocation - kAtTheStart;
}

std::string StopBeforeName(const Scenario& s, size_t k) {
  return k > 0 && !BehindTheStart(s, k - 1) ? s.stations[k - 1].name : "the start";
}

bool Laid(const ATS_BEACONDATA& b) {
  return (b.type >= kBeaconStation && b.type <= kBeaconBraking) ||
         (b.type == kBeaconDrivingOption && b.optional >= 0 &&
          b.optional < beacon::kNeutralSection);
}

Placed HoldingOption(double at) {
  return Make(at, kBeaconDrivingOption, auto_driving::kConstantSpeed,
              fmt::format("option = \"{}\"", beacon::kOptions[auto_driving::kConstantSpeed]));
}

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

Placement::Placement(const Scenario& s, double frameMetresPerKmh,
                     const std::optional<Dynamics>& gaining)
    : s_(s), grades_(s.dynamics, s.gradients), frame_(frameMetresPerKmh) {
  for (size_t k = 0; k <= s.stations.size(); ++k) {
    const double from = k < s.stations.size() ? Previous(k) : Stop(k - 1);
    const double to = k < s.stations.size() ? Stop(k) : Next(k - 1);
    const std::vector<Step> steps = Steps(from - kDepartureBefore, to, from);
    gains_.emplace_back(gaining.value_or(s.dynamics), s.gradients, from, to, 0,
                        [&steps](double x) { return KmhAt(steps, x); });
  }
  for (size_t k = 0; k < s.stations.size(); ++k) {
    std::vector<Step> steps = Steps(Stop(k) - kDepartureBefore, Next(k), Stop(k));
    if (!Fit(steps, Stop(k) + kStepGap, kLowestDeparture, CurveRunInto(k + 1))) {
      const Station& st = s.stations[k];
      throw ScenarioError(fmt::format(
          "{}:{}: station {}: past its stop the line's limit falls to {:.0f} km/h before a "
          "braking curve could bring the train down to it, and the cab offers a departure only "
          "above 10 km/h",
          s.path, st.line, st.name, steps.front().kmh));
    }
    departures_.push_back(steps.front().kmh);
    leaving_.push_back(Codes(s.stations[k].doorSide).front());
  }
}

int32_t Placement::CodeLeavingFor(size_t k, const Approach& a) const {
  return k > 0 && !BehindTheStart(s_, k - 1) ? leaving_[k - 1] : a.code;
}

void Placement::Chose(size_t k, const Approach& a) {
  const int32_t side = s_.stations[k].doorSide;
  leaving_[k] = side != 0 && beacon::DoorSideOf(a.code) != side ? Codes(side).front() : a.code;
}

double Placement::Next(size_t k) const {
  const bool last = k + 1 == s_.stations.size() || Stop(k + 1) > s_.endLocation;
  return last ? std::max(s_.endLocation, Stop(k) + 1) : Stop(k + 1);
}

// The curve as steep as kCurveDecel, or gentler where notch 8 on the grade
// under it leaves less.
double Placement::Run(double u, double w, double end) const {
  const double guess = BrakingDistance(u, w, kCurveDecel);
  const Dynamics& d = s_.dynamics;
  const double full = std::min(Ms(d.decelByNotch[8]), d.adhesion * kGravity) +
                      grades_.MeanPermille(end - guess - d.lengthMetres, end) / 1000 * kGravity;
  const double a = std::clamp(kCurveShareOfFullService * full, kGentlestCurve, kCurveDecel);
  return BrakingDistance(u, w, a) + kCurveMargin;
}

// Where the train comes slower than u, the curve from the speed it comes at.
double Placement::Run(double u, double w, double end, const Gain& gain) const {
  double start = end - Run(u, w, end);
  while (start + 1 < end && start + 1 + Run(std::min(u, gain.At(start + 1)), w, end) <= end)
    start += 1;
  return end - start;
}

CurveRun Placement::CurveRunInto(size_t k) const {
  const Gain& gain = gains_[k];
  return [this, &gain](double u, double w, double end) { return Run(u, w, end, gain); };
}

// The limits under the train from `from` to `to`; none changes before the
// train has left the stop at `held`, where it stands.
std::vector<Step> Placement::Steps(double from, double to, double held) const {
  std::vector<Step> steps = BodyLimits(s_.limits, s_.dynamics.lengthMetres, from, to);
  if (steps.empty()) {
    throw ScenarioError(fmt::format(
        "{}: no [[limit]] holds at {:.0f} m: the layout needs the line's limits from the start",
        s_.path, from - s_.dynamics.lengthMetres));
  }
  for (size_t i = 1; i < steps.size(); ++i) steps[i].from = std::max(steps[i].from, held + 1);
  return steps;
}

double Placement::FastestApproach(size_t k) const {
  const std::vector<Step> at = Steps(Stop(k) - 1, Stop(k), Stop(k));
  return std::min(departures_[k], at.front().kmh);
}

double Placement::OwnCurve(int32_t code, double kmh) const {
  const beacon::StoppingCurve curve = beacon::StoppingCurveOf(beacon::FinalBrakingStyle(code));
  return std::ceil(BrakingDistance(kmh, 0, curve.decel) + curve.offset + frame_ * kmh + 2);
}

// A rise at a speed-limit beacon; a fall by a braking curve ending where it starts.
std::vector<Placed> Placement::Limits(const std::vector<Step>& steps, const CurveRun& run) const {
  std::vector<Placed> out;
  for (size_t i = 1; i < steps.size(); ++i) {
    const Step &before = steps[i - 1], &s = steps[i];
    if (s.kmh > before.kmh) {
      out.push_back(SpeedLimit(std::ceil(s.from), s.kmh));
    } else {
      const double end = std::floor(s.from);
      out.push_back(BrakingCurve(end - run(before.kmh, s.kmh, end), s.kmh, end));
    }
  }
  return out;
}

std::optional<Section> Placement::Plan(size_t k, const Approach& a, double floor) const {
  const double stop = Stop(k), previous = Previous(k), at = stop - a.before;
  const double curveTo = std::max(a.kmh, kSlowestCurve);
  if (at - kCodeLead <= previous + kStepGap || curveTo > departures_[k]) return std::nullopt;
  if (curveTo > LowestFrom(Steps(at, stop, at), at)) return std::nullopt;
  std::vector<Step> steps = Steps(previous - kDepartureBefore, at, previous);
  steps.push_back({at, curveTo});
  const CurveRun run = CurveRunInto(k);
  if (!Fit(steps, previous + kStepGap, std::max(floor, kLowestDeparture), run)) return std::nullopt;
  // The code a frame's travel or more before the station beacon, at the fastest it may come.
  double fastest = 0;
  for (const Step& s : steps) fastest = std::max(fastest, s.kmh);
  const double lead = std::max(kCodeLead, std::ceil(frame_ * fastest) + 1);
  if (at - lead <= previous + kStepGap) return std::nullopt;
  Section out{{}, steps.front().kmh, steps.back().from == at};
  if (steps.size() > 1 && steps[steps.size() - 2].kmh > curveTo)
    out.curveEnd = stop - steps.back().from;
  if (out.shaped) steps.pop_back();
  out.beacons = Limits(steps, run);
  if (out.shaped && steps.back().kmh > curveTo)
    out.beacons.push_back(BrakingCurve(at - run(steps.back().kmh, curveTo, at), curveTo, at));
  if (a.held) out.beacons.push_back(HoldingOption(at - lead));
  out.beacons.push_back(CodeBeacon(at - lead, a.code));
  out.beacons.push_back(StoppingPoint(k, at));
  out.beacons.push_back(StationBeacon(k, at, a.kmh));
  // The station beacon holds the style in force; a code passed after it
  // gives the cab the station's own door side for the stop.
  const int32_t side = s_.stations[k].doorSide;
  if (side != 0 && beacon::DoorSideOf(a.code) != side)
    out.beacons.push_back(CodeBeacon(at + kSideLag, Codes(side).front()));
  return out;
}

Section Placement::Tail(size_t k, double floor) const {
  std::vector<Step> steps = Steps(Stop(k) - kDepartureBefore, Next(k), Stop(k));
  const CurveRun run = CurveRunInto(k + 1);
  Fit(steps, Stop(k) + kStepGap, std::max(floor, kLowestDeparture), run);
  return {Limits(steps, run), steps.front().kmh, false, 0};
}

Placed Placement::DepartureLimit(size_t k, double kmh, double before) const {
  return SpeedLimit(Stop(k) - before, kmh);
}

Placed Placement::StoppingPoint(size_t k, double at) const {
  const int32_t next = static_cast<int32_t>(k + 1 < s_.stations.size() ? Stop(k + 1) : Stop(k));
  Check(k);
  const beacon::StoppingPoints p{static_cast<int32_t>(Stop(k)), next};
  return Make(at, kBeaconStoppingPoint, beacon::Pack(p),
              fmt::format("stopping_point = {}", TomlQuoted(s_.stations[k].name)));
}

std::vector<Placed> Placement::OpenLineStart(size_t k, int32_t code, double departure) const {
  const auto stop = static_cast<int32_t>(Stop(k));
  const double at = s_.startLocation;
  return AtTheStart(
      {CodeBeacon(at, code),
       Make(at, kBeaconStoppingPoint, beacon::Pack(beacon::StoppingPoints{stop, stop}),
            fmt::format("stopping_point = {{ this = {}, next = {} }}", stop, stop)),
       SpeedLimit(at, departure)},
      at);
}

void Placement::Check(size_t k) const {
  const double stop = Stop(k);
  if (std::fmod(stop, beacon::kStoppingPointStep) != 0 || stop < 0 ||
      stop >= beacon::kStoppingPointLimit) {
    throw ScenarioError(
        fmt::format("{}:{}: station {} stops at {} m: a stopping-point beacon "
                    "gives only multiples of 25 m from 0 m to below 250 km",
                    s_.path, s_.stations[k].line, s_.stations[k].name, stop));
  }
  if (!s_.stations[k].departureMs) {
    throw ScenarioError(fmt::format("{}:{}: station {} has no departure for its station beacon",
                                    s_.path, s_.stations[k].line, s_.stations[k].name));
  }
}

Placed Placement::StationBeacon(size_t k, double at, double limit) const {
  const int32_t departure = s_.stations[k].departureMs.value_or(0) / 1000;
  const auto whole = static_cast<int32_t>(limit);
  return Make(
      at, kBeaconStation, beacon::Pack(beacon::Station{whole, departure}),
      fmt::format("station = {{ name = {}, limit = {} }}", TomlQuoted(s_.stations[k].name), whole));
}

std::vector<Placed> Placement::StartGroup(size_t k, double departure) const {
  const double at = s_.startLocation;
  return AtTheStart({CodeBeacon(at, Codes(s_.stations[k].doorSide).front()), StoppingPoint(k, at),
                     StationBeacon(k, at, departure)},
                    at);
}
