#include "model/auto_driving.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "model/beacon_codes.h"
#include "model/cab.h"

namespace auto_driving {

namespace {

// By speed band, up to and including `upTo` km/h: the notch for a deficit
// of at least each threshold, the first that holds.
struct PowerBand {
  double upTo;
  struct Step {
    double deficit;
    int notch;
  } steps[4];
};
constexpr PowerBand kPowerBands[] = {
    {75, {{3, 4}, {2, 3}, {1, 2}, {-1e9, 1}}},
    {100, {{1, 3}, {-1e9, 2}, {-1e9, 2}, {-1e9, 2}}},
    {1e9, {{-1e9, 3}, {-1e9, 3}, {-1e9, 3}, {-1e9, 3}}},
};

// The curve-braking table: by the curve's deceleration (bounds strict), the
// notch at or above the target, then for a deficit above 0, 1, 2, ... km/h
// (-1: no such test).
struct CurveRow {
  double above, below;  // m/s²
  int notches[9];
};
constexpr CurveRow kCurveRows[] = {
    {0, 0.143, {5, 2, -1, -1, -1, -1, -1, -1, -1}},
    {0.143, 0.286, {6, 3, 2, -1, -1, -1, -1, -1, -1}},
    {0.286, 0.429, {7, 4, 3, -1, -1, -1, -1, -1, -1}},
    {0.429, 0.571, {8, 5, 4, -1, -1, -1, -1, -1, -1}},
    {0.571, 0.714, {8, 6, 5, -1, -1, -1, -1, -1, -1}},
    {0.714, 0.857, {8, 7, 6, 5, 4, 3, 2, 1, 0}},
    {0.857, 1.0, {8, 8, 7, -1, -1, -1, -1, -1, -1}},
    {1.0, 1e9, {notch::kEmergency, 8, -1, -1, -1, -1, -1, -1, -1}},
};

constexpr double kOverspeedAt = 1;           // km/h over the target: the overspeed brake
constexpr double kCoastAt = 0.2;             // km/h over the target: coasting
constexpr double kPowerAgainAt = 3;          // km/h under the target: powering resumes
constexpr double kMoving = 1, kRolling = 4;  // km/h: the cases' speed gates
constexpr double kRampEnds = 3;              // km/h: the start ramp hands over to powering
// Brake holding: brake 1 from this far under the target, 3 from kOverspeedAt over it.
constexpr double kHeldUnder = 0.1;
constexpr int kHeldBrake = 1, kHeldOverBrake = 3;
// Constant-speed holding, km/h over the target: engaged between the first
// two, released from the third, powering again from the fourth (under it).
constexpr double kEngageFrom = 0.4, kEngageTo = 0.6, kReleaseAt = 0.9, kRepowerAt = -0.4;
constexpr int kHeldPower = 2;
// The host's constant-speed control, as the handles command it.
enum ConstantSpeedCommand { kNoCommand = 0, kEngage = 1, kRelease = 2 };
// m past a neutral section's start (both ends open) where power is held to notch 1.
constexpr std::pair<double, double> kNeutralStretches[] = {{0, 75}, {100, 175}};

}  // namespace

int PowerNotch(double kmh, double deficit, bool held) {
  if (held && kmh <= kPowerBands[0].upTo && deficit < 1) return kHeldPower;
  for (const PowerBand& band : kPowerBands) {
    if (kmh > band.upTo) continue;
    for (const PowerBand::Step& step : band.steps) {
      if (deficit >= step.deficit) return step.notch;
    }
  }
  return 0;
}

int CurveBrakingNotch(double decel, double deficit, int holds) {
  for (const CurveRow& row : kCurveRows) {
    if (!(decel > row.above && decel < row.below)) continue;
    int notch = deficit <= 0 ? row.notches[0] : holds;
    for (int k = 1; k < 9 && row.notches[k] >= 0; ++k) {
      if (deficit > k - 1) notch = row.notches[k];
    }
    return notch;
  }
  return holds;
}

ATS_HANDLES Driving::Frame(const View& v) {
  h_.reverser = 1;
  if (!startKey_ && v.kmh == 0) h_.brake = notch::kHolding;
  if (!powering_) h_.power = 0;
  Case(v);
  const double deficit = v.target - v.kmh;
  // The deficit is still the curve's where it ended in this frame.
  const bool curveRuns = v.curveDecel > 0 && !v.curveEnds;
  if (deficit > kPowerAgainAt && !powering_ && v.kmh > kRolling && !curveRuns) {
    powering_ = true;
  }
  const bool holds = !curveRuns && v.kmh > 0;
  if (holds && holding_ == kBrakeHold) BrakeHolding(deficit);
  if (holds && holding_ == kConstantSpeed) {
    ConstantSpeed(-deficit);
  } else {
    h_.constantSpeed = kRelease;
  }
  if (startKey_) {
    h_.brake = 0;
    const int ramp = v.kmh < 1 ? 1 : v.kmh < 2 ? 2 : 3;
    h_.power = holding_ == kConstantSpeed ? ramp + 1 : ramp;
    if (v.kmh >= kRampEnds) {
      h_.power = 4;
      startKey_ = false;
    }
  }
  // Past a neutral section's start, two stretches where power is held to notch 1.
  const double past = v.location - v.neutral;
  for (const auto& [from, to] : kNeutralStretches) {
    if (past > from && past < to) h_.power = std::min(h_.power, 1);
  }
  return h_;
}

void Driving::BrakeHolding(double deficit) {
  if (deficit <= kHeldUnder && -deficit < kOverspeedAt) {
    powering_ = false;
    h_.brake = kHeldBrake;
  } else if (-deficit >= kOverspeedAt) {
    h_.brake = kHeldOverBrake;
  } else if (deficit > kHeldUnder) {
    h_.brake = 0;
  }
}

// Engaged a little over the target, the host holds the speed; released
// well over it; powering again under it.
void Driving::ConstantSpeed(double over) {
  if (over > kEngageFrom && over < kEngageTo) {
    powering_ = true;
    h_.power = kHeldPower;
    h_.constantSpeed = kEngage;
  } else if (over >= kReleaseAt) {
    powering_ = false;
    h_.power = 0;
    h_.constantSpeed = kRelease;
  } else if (over <= kRepowerAt) {
    powering_ = true;
    if (h_.constantSpeed == kEngage) {
      h_.power = kHeldPower;
      h_.constantSpeed = kRelease;
    }
  }
}

void Driving::Case(const View& v) {
  const double over = v.kmh - v.target;
  if (v.curveDecel > 0) {
    if (v.kmh <= kMoving) return;
    h_.power = 0;
    h_.brake = v.curveEnds ? 0 : CurveBrakingNotch(v.curveDecel, -over, h_.brake);
  } else if (v.stopping && v.style != 0) {
    if (-over >= beacon::kFinalBrakingBand && v.toStop > kFinalBrakingEnds) return;
    powering_ = false;
    holding_ = kNormal;
    h_.power = 0;
    h_.constantSpeed = kNoCommand;
    h_.brake = beacon::StoppingNotch(v.style, v.toStop, v.kmh, h_.brake);
  } else if (over >= kOverspeedAt && holding_ != kBrakeHold) {
    h_.power = 0;
    h_.brake = notch::kOverspeed;
  } else if (over >= kCoastAt && v.kmh > kRolling && holding_ == kNormal) {
    powering_ = false;
    h_.brake = h_.power = 0;
  } else if (powering_ && v.kmh > kMoving) {
    h_.brake = 0;
    h_.power = PowerNotch(v.kmh, -over, holding_ == kConstantSpeed);
  }
}

}  // namespace auto_driving
