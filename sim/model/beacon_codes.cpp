#include "model/beacon_codes.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "corvane_tables.h"
#include "model/cab.h"
#include "model/units.h"

namespace beacon {

int64_t Pack(const Run& r) { return int64_t{r.destination} * 1000 + r.number; }
int64_t Pack(const Station& s) { return int64_t{s.limit} * 100000 + s.departureSeconds; }
int64_t Pack(const StoppingPoints& p) {
  return int64_t{p.thisStop / kStoppingPointStep} * 10000 + p.nextStop / kStoppingPointStep;
}
int64_t Pack(const Braking& b) {
  return int64_t{b.then} * 1000000000 + int64_t{b.finalSpeed} * 1000000 + b.end;
}

Run RunOf(int32_t o) { return {o / 1000, o % 1000}; }
Station StationOf(int32_t o) { return {o / 100000, o % 100000}; }
StoppingPoints StoppingPointsOf(int32_t o) {
  return {o / 10000 * kStoppingPointStep, o % 10000 * kStoppingPointStep};
}
Braking BrakingOf(int32_t o) {
  const int32_t end = o % 1000000, then = o / 1000000000;
  return {then, (o - then * 1000000000 - end) / 1000000, end};
}

int FinalBrakingStyle(int32_t code) { return LocationRuleFor(code).finbak; }

int DoorSideOf(int32_t code) { return LocationRuleFor(code).doorside; }

std::vector<int32_t> SideCodes(int32_t side) {
  std::vector<int32_t> out;
  for (int32_t code = 10; code < 20; ++code) {  // location group 1: the code's tens
    const LocationRule& rule = LocationRuleFor(code);
    const bool styleTaken = std::any_of(
        out.begin(), out.end(), [&](int32_t c) { return FinalBrakingStyle(c) == rule.finbak; });
    if (rule.doorside == side && rule.drivestate == kStateByCode && !styleTaken)
      out.push_back(code);
  }
  std::stable_sort(out.begin(), out.end(), [](int32_t a, int32_t b) {
    return FinalBrakingStyle(a) < FinalBrakingStyle(b);
  });
  return out;
}

StoppingCurve StoppingCurveOf(int style) {
  const ::StoppingCurve& curve = StoppingCurveFor(style);
  return {-curve.dec, curve.offset};
}

double StoppingCurve::SpeedAt(double toStop) const {
  return Kmh(std::sqrt(std::max(0.0, 2 * decel * (toStop + offset))));
}

namespace {

std::string ClockOf(int32_t seconds) {
  return fmt::format("{:02}:{:02}:{:02}", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

const char* BrakingEnd(int32_t then) {
  return then >= 0 && then < static_cast<int32_t>(kBrakingEnds.size()) ? kBrakingEnds[then]
                                                                       : "nothing";
}

std::string DoorSide(int32_t side) {
  if (side == 0) return "no platform doors";
  return side < 0 ? "doors left (-1)" : "doors right (+1)";
}

// The location group a code's rule sets, where it does not hang on how the
// train runs.
int32_t GroupOf(const LocationRule& rule, int32_t code) {
  return rule.drivestate == kStateByCode ? code / 10 : rule.drivestate;
}

std::string DriveState(const LocationRule& rule) {
  if (rule.drivestate == kStateByUnattendedRunning) {
    return "unattended area if running unattended, else location group 2";
  }
  const int32_t state = GroupOf(rule, rule.code);
  if (state == kUnattendedArea) return "unattended area";
  if (state == kNoLocation) return "no location group";
  return fmt::format("location group {}", state);
}

}  // namespace

bool OffersDeparture(int32_t code) {
  const LocationRule& rule = LocationRuleFor(code);
  const int32_t group = GroupOf(rule, code);
  return rule.drivestate == kStateByUnattendedRunning || (group >= 1 && group <= kUnattendedArea);
}

std::string DescribeLocation(int32_t code) {
  LocationRule rule = LocationRuleFor(code);
  rule.code = code;  // the other codes share one row
  return fmt::format("style {}, {}, {}", rule.finbak, DoorSide(rule.doorside), DriveState(rule));
}

std::string Describe(const ATS_BEACONDATA& b) {
  const int32_t o = b.optional;
  switch (b.type) {
    case kBeaconRunNumber: {
      const Run r = RunOf(o);
      return fmt::format("run {} to destination {}", r.number, r.destination);
    }
    case kBeaconStation: {
      const Station s = StationOf(o);
      return fmt::format("station: limit {} km/h, departs {}", s.limit,
                         ClockOf(s.departureSeconds));
    }
    case kBeaconLocation: return fmt::format("location code {}: {}", o, DescribeLocation(o));
    case kBeaconStoppingPoint: {
      const StoppingPoints p = StoppingPointsOf(o);
      return fmt::format("stopping point {} m, then {} m", p.thisStop, p.nextStop);
    }
    case kBeaconSpeedLimit: return fmt::format("speed limit {} km/h", o);
    case kBeaconBraking: {
      const Braking c = BrakingOf(o);
      return fmt::format("braking curve to {} km/h ending at {} m, then {}", c.finalSpeed, c.end,
                         BrakingEnd(c.then));
    }
    case kBeaconDrivingOption:
      if (o < 0) return "option: none";
      return o <= kNeutralSection ? fmt::format("option: {}", kOptions[o])
                                  : fmt::format("option: show {} km/h", o);
    case kBeaconRain: return fmt::format("rain {}", o);
    default: return fmt::format("type {}: not read by the plug-in", b.type);
  }
}

int FinalBrakingNotch(int style, double e) {
  switch (style) {
    case 1: return e <= -0.1 ? 8 : e <= 0 ? 7 : e <= 1 ? 6 : e <= 2 ? 5 : 4;
    case 2: return e <= 0 ? 8 : e <= 1 ? 7 : e <= 2 ? 6 : 5;
    case 3: return e <= -0.4 ? 8 : e <= -0.2 ? 7 : e <= 0 ? 6 : e <= 1 ? 5 : e <= 2 ? 4 : 3;
    default: return 0;  // no final braking before the first location code
  }
}

int StoppingNotch(int style, double toStop, double kmh, int holds) {
  constexpr double kOverTarget = 1;  // km/h over the target of 0 that calls for the brake
  if (toStop < -kOverrunMetres) return notch::kFullService;
  if (toStop <= kFinalBrakingEnds) return kmh >= kOverTarget ? notch::kOverspeed : holds;
  const double e = StoppingCurveOf(style).SpeedAt(toStop) - kmh;
  return e < kFinalBrakingBand ? FinalBrakingNotch(style, e) : holds;
}

}  // namespace beacon
