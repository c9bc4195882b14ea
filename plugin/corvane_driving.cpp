// corvane: automatic driving. In automatic mode and in unattended driving the
// train control picks brake, power, reverser and constant-speed outputs.
#include <cmath>
#include <limits>

#include "channels.h"
#include "corvane_frame.h"
#include "tools.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int32_t kNoNotch = -1;
constexpr int32_t kEmergencyPosition = -2;  // the vehicle's emergency notch
constexpr int32_t kRebrakeWaitMs = 1000;
constexpr int32_t kUnattendedDepartureDelayMs = 5000;

// The tables keep their own layout.
// clang-format off
// Curve braking: the row is chosen by |dec| (strict bounds), then the
// rightmost true test of the row decides the notch.
struct CurveBrakeRow {
  double above, below;
  int32_t atOrOverTarget;  // v >= tagspd
  int32_t byDeficit[8];    // d > 0, d > 1, ... d > 7; kNoNotch = no test
};
constexpr CurveBrakeRow kCurveBrakeRows[] = {
    {0.0, 0.143, 5, {2, kNoNotch}},
    {0.143, 0.286, 6, {3, 2, kNoNotch}},
    {0.286, 0.429, 7, {4, 3, kNoNotch}},
    {0.429, 0.571, 8, {5, 4, kNoNotch}},
    {0.571, 0.714, 8, {6, 5, kNoNotch}},
    {0.714, 0.857, 8, {7, 6, 5, 4, 3, 2, 1, 0}},
    {0.857, 1.0, 8, {8, 7, kNoNotch}},
    {1.0, kInf, kEmergencyPosition, {8, kNoNotch}},
};

// Final braking: tests in order, each true test overwrites the notch.
struct FinalBrakeTest { bool atMost; double bound; int32_t notch; };  // e <= bound, or e > bound
struct FinalBrakeStyle { int32_t style; FinalBrakeTest tests[6]; int count; };
constexpr FinalBrakeStyle kFinalBrakeStyles[] = {
    {1, {{true, -0.1, 8}, {false, -0.1, 7}, {false, 0, 6}, {false, 1, 5}, {false, 2, 4}}, 5},
    // "v >= curvespd" is e <= 0 exactly: finite IEEE differences are 0 only for equal operands.
    {2, {{true, 0, 8}, {false, 0, 7}, {false, 1, 6}, {false, 2, 5}}, 4},
    {3, {{true, -0.4, 8}, {false, -0.4, 7}, {false, -0.2, 6}, {false, 0, 5}, {false, 1, 4},
         {false, 2, 3}}, 6},
};

// Re-braking by the deficit; at 5 km/h under the target re-powering follows.
struct RebrakeBand { double deficitBelow; int32_t notch; };
constexpr RebrakeBand kRebrakeBands[] = {{0.0, 7}, {3.5, 5}, {4.0, 4}, {4.5, 3}, {5.0, 2}};
constexpr double kRepowerAtDeficit = 5.0;

// Powering by speed band (upper bounds included): the notch for a deficit
// below every step, raised by each step the deficit reaches.
struct PowerStep { double deficitAtLeast; int32_t notch; };
struct PowerBand {
  double speedUpTo;
  int32_t smallDeficit, smallDeficitHolding;
  PowerStep steps[3];
  int count;
};
constexpr PowerBand kPowerBands[] = {
    {75.0, 1, 2, {{1, 2}, {2, 3}, {3, 4}}, 3},
    {100.0, 2, 2, {{1, 3}}, 1},
    {kInf, 3, 3, {}, 0},
};

// Start ramp: each speed reached raises the notch; ends with power 4 at 3 km/h.
struct RampStep { double speedAtLeast; int32_t notch, notchHolding; };
constexpr RampStep kStartRamp[] = {{-kInf, 1, 2}, {1.0, 2, 3}, {2.0, 3, 4}};
constexpr double kRampEndSpeed = 3.0;
constexpr int32_t kRampEndNotch = 4;

struct NeutralWindow { double from, to; };  // metres after the section's start, strict
constexpr NeutralWindow kNeutralWindows[] = {{0, 75}, {100, 175}};
constexpr int32_t kNeutralPowerCap = 1;
// clang-format on

int32_t CurveBrakeNotch(double a, double v, double d) {
  for (const CurveBrakeRow& row : kCurveBrakeRows) {
    if (!(a > row.above && (row.below == kInf || a < row.below))) continue;
    int32_t notch = kNoNotch;
    if (v >= atc.tagspd) notch = row.atOrOverTarget;
    for (int k = 0; k < 8 && row.byDeficit[k] != kNoNotch; ++k) {
      if (d > k) notch = row.byDeficit[k];
    }
    if (notch == kEmergencyPosition) return WrapAdd(gTrainspecs.brakeNotchCount, 1);
    return notch;
  }
  return kNoNotch;
}

void EndCurve(const Frame& f) {
  if (atc.rebrake == kRebrakeChimeThenRebrake) {
    PlaySound(sound::kChime);
    atc.rebraketime = WrapAdd(f.time, kRebrakeWaitMs);
    atc.rebrake = kRebraking;
  } else if (atc.rebrake == kRebrakeChimeOnly) {
    PlaySound(sound::kChime);
    atc.rebrake = kRebrakeNone;
  }
  gHandles.brake = 0;
  atc.maxspd = atc.finalspd;
  atc.braking = false;
}

void BrakeAlongCurve(const Frame& f, double d) {
  gHandles.power = 0;
  if (f.v >= atc.finalspd) {
    const int32_t notch = CurveBrakeNotch(std::sqrt(atc.dec * atc.dec), f.v, d);
    if (notch != kNoNotch) gHandles.brake = notch;
  } else {
    EndCurve(f);
  }
  if (f.location >= atc.decdis) EndCurve(f);
}

const FinalBrakeStyle* FinalBrakeStyleFor(int32_t style) {
  for (const FinalBrakeStyle& entry : kFinalBrakeStyles) {
    if (entry.style == style) return &entry;
  }
  return nullptr;
}

void BrakeToStop(const Frame& f) {
  if (atc.finalsound == kChimeArmed) {
    PlaySound(sound::kChime);
    atc.finalsound = kChimePlayed;
  }
  const double e = f.curvespd - f.v;
  if (!(e < 3.0)) return;  // still well below the curve: the notches stay
  atc.holdpwbk = kHoldNormal;
  atc.powering = false;
  gHandles.power = 0;
  gHandles.constantSpeed = 0;
  const FinalBrakeStyle* style = FinalBrakeStyleFor(atc.finbaksty);
  if (style == nullptr) return;
  for (int i = 0; i < style->count; ++i) {
    const FinalBrakeTest& test = style->tests[i];
    if (test.atMost ? e <= test.bound : e > test.bound) gHandles.brake = test.notch;
  }
}

void Rebrake(const Frame& f, double d) {
  for (const RebrakeBand& band : kRebrakeBands) {
    if (d < band.deficitBelow) {
      gHandles.brake = band.notch;
      return;
    }
  }
  if (d >= kRepowerAtDeficit) {
    gHandles.brake = 0;
    atc.rebraketime = WrapAdd(f.time, kRebrakeWaitMs);
    atc.rebrake = kRepowering;
  }
}

void Repower(double d) {
  if (d >= 4.0) gHandles.power = 2;
  if (d < 4.0) gHandles.power = 3;
  if (d < 3.0) {
    atc.powering = true;
    atc.rebrake = kRebrakeNone;
  }
}

void PowerBySpeedBand(double v, double d) {
  gHandles.brake = 0;
  for (const PowerBand& band : kPowerBands) {
    if (!(v <= band.speedUpTo)) continue;
    int32_t notch =
        atc.holdpwbk == kHoldConstantSpeed ? band.smallDeficitHolding : band.smallDeficit;
    for (int i = 0; i < band.count; ++i) {
      if (d >= band.steps[i].deficitAtLeast) notch = band.steps[i].notch;
    }
    gHandles.power = notch;
    return;
  }
}

// The main choice: the first matching case acts.
void ChooseMainCase(const Frame& f, double d) {
  const double v = f.v;
  const double s = -d;
  const bool curveOff = !atc.braking;
  const bool rebrakeDue = v > 1.0 && f.time > atc.rebraketime;
  if (atc.braking && v > 1.0) {
    BrakeAlongCurve(f, d);
  } else if (curveOff && CurveGoverns(f) && atc.finbaksty != 0) {
    BrakeToStop(f);
  } else if (curveOff && atc.rebrake == kRebraking && rebrakeDue) {
    Rebrake(f, d);
  } else if (curveOff && atc.rebrake == kRepowering && rebrakeDue) {
    Repower(d);
  } else if (curveOff && s >= 1.0 && atc.holdpwbk != kHoldBrake) {
    gHandles.power = 0;
    gHandles.brake = 4;
  } else if (curveOff && s >= 0.2 && v > 4.0 && atc.holdpwbk == kHoldNormal) {
    atc.powering = false;
    gHandles.brake = 0;
    gHandles.power = 0;
  } else if (atc.powering && atc.rebrake == kRebrakeNone && curveOff && v > 1.0) {
    PowerBySpeedBand(v, d);
  }
}

bool PlainRunning() { return atc.rebrake == kRebrakeNone && !atc.braking; }

void ResumePowering(double v, double d) {
  if (d > 3.0 && PlainRunning() && !atc.powering && v > 4.0) atc.powering = true;
}

void HoldByBrake(double v, double d) {
  if (!(atc.holdpwbk == kHoldBrake && PlainRunning() && v > 0)) return;
  const double s = -d;
  if (d <= 0.1 && s < 1.0) {
    atc.powering = false;
    gHandles.brake = 1;
  } else if (s >= 1.0) {
    gHandles.brake = 3;
  } else if (d > 0.1) {
    gHandles.brake = 0;
  }
}

void HoldConstantSpeed(double v, double d) {
  if (!(atc.holdpwbk == kHoldConstantSpeed && PlainRunning() && v > 0)) {
    gHandles.constantSpeed = 2;
    return;
  }
  const double s = -d;
  if (0.4 < s && s < 0.6) {
    atc.powering = true;
    gHandles.power = 2;
    gHandles.constantSpeed = 1;
  } else if (s >= 0.9) {
    atc.powering = false;
    gHandles.power = 0;
    gHandles.constantSpeed = 2;
  } else if (s <= -0.4) {
    atc.powering = true;
    if (gHandles.constantSpeed == 1) {
      gHandles.power = 2;
      gHandles.constantSpeed = 2;
    }
  }
}

void RunStartRamp(double v) {
  if (!atc.startkey) return;
  gHandles.brake = 0;
  const bool holding = atc.holdpwbk == kHoldConstantSpeed;
  for (const RampStep& step : kStartRamp) {
    if (v >= step.speedAtLeast) gHandles.power = holding ? step.notchHolding : step.notch;
  }
  if (v >= kRampEndSpeed) {
    gHandles.power = kRampEndNotch;
    atc.startkey = false;
  }
}

void DepartUnattended(const Frame& f) {
  if (atc.drivestate == kUnattendedArea && f.v == 0 &&
      f.time >= WrapAdd(atc.proceedtime, kUnattendedDepartureDelayMs) &&
      atc.trainmode == kModeUnattended) {
    BeginDeparture();
  }
}

void CapInNeutralSection(double location) {
  for (const NeutralWindow& window : kNeutralWindows) {
    if (atc.nzlocation + window.from < location && location < atc.nzlocation + window.to &&
        gHandles.power > kNeutralPowerCap) {
      gHandles.power = kNeutralPowerCap;
    }
  }
}

}  // namespace

void DriveAutomatically(const Frame& f) {
  if (!AutomaticDriving()) return;
  gHandles.reverser = 1;
  if (!atc.startkey && f.v == 0) gHandles.brake = kBrakeHolding;
  if (!atc.powering) gHandles.power = 0;
  const double d = atc.tagspd - f.v;
  ChooseMainCase(f, d);
  ResumePowering(f.v, d);
  HoldByBrake(f.v, d);
  HoldConstantSpeed(f.v, d);
  RunStartRamp(f.v);
  DepartUnattended(f);
  CapInNeutralSection(f.location);
}
