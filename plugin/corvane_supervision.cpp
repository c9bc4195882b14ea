// corvane: speed supervision whoever drives. The per-mode rules, overrun
// protection, the door-open brake and the execution of stop brakings.
#include "channels.h"
#include "corvane_frame.h"
#include "tools.h"

namespace {

constexpr double kOverspeedMargin = 5.5;  // km/h over tagspd, supervised manual
constexpr double kManualCeiling = 26.0;   // km/h, either direction
constexpr double kOverrunLimit = -6.25;   // metres beyond the stopping point
constexpr int32_t kBrakeNoticeMs = 3500;

bool ApproachChimeDue(const Frame& f) {
  return CurveGoverns(f) && atc.finbaksty != 0 && atc.finalsound == kChimeArmed;
}

void SupervisedManualRules(const Frame& f) {
  atc.startkey = false;
  gHandles.reverser = 1;
  if (ApproachChimeDue(f)) {
    PlaySound(sound::kChime);
    atc.finalsound = kChimePlayed;
  }
  if (f.v - atc.tagspd > kOverspeedMargin && atc.stopbrake == kStopNone) {
    PlaySound(sound::kOverspeed);
    atc.stopbrake = kStopEmergency;
  }
  // Under manual driving the curve's end plays no chime and starts no re-braking.
  if (!atc.braking) return;
  if (atc.finalspd > f.v) {
    if (atc.rebrake == kRebrakeChimeThenRebrake) atc.rebrake = kRebrakeNone;
    atc.maxspd = atc.finalspd;
    atc.braking = false;
  }
  if (f.location >= atc.decdis) {
    atc.maxspd = atc.finalspd;
    atc.braking = false;
  }
}

void CeilingModeRules(const Frame& f, int32_t reverser) {
  atc.startkey = false;
  gHandles.reverser = reverser;
  const bool overCeiling = f.v < 0 ? f.v <= -kManualCeiling : f.v >= kManualCeiling;
  if (overCeiling) atc.stopbrake = kStopService;
  if (ApproachChimeDue(f)) atc.finalsound = kChimeDisarmed;
}

void FixedOutputs(int32_t brake) {
  gHandles.reverser = 1;
  gHandles.power = 0;
  gHandles.brake = brake;
}

}  // namespace

void ApplyModeRules(const Frame& f) {
  switch (atc.trainmode) {
    case kModeSupervisedManual: SupervisedManualRules(f); break;
    case kModeRestrictedManual: CeilingModeRules(f, 1); break;
    case kModeBrakeHold: FixedOutputs(kBrakeFullService); break;
    case kModeReverse: CeilingModeRules(f, -1); break;
    case kModeUnattended:
      if (!UnattendedDriving()) FixedOutputs(kBrakeEmergency);
      break;
    default: break;
  }
}

void ProtectOverrunAndDoors(const Frame& f) {
  if (f.stoppos - f.location < kOverrunLimit && gHandles.reverser == 1) {
    gHandles.power = 0;
    gHandles.brake = kBrakeFullService;
  }
  if (atc.door) {
    gHandles.brake = kBrakeHolding;
    gHandles.power = 0;
    atc.psdlamp = false;
  }
}

void ExecuteStopBraking(const Frame& f) {
  if (atc.stopbrake != kStopNone && f.v != 0) {
    gHandles.power = 0;
    gHandles.brake = atc.stopbrake == kStopEmergency ? kBrakeEmergency : kBrakeFullService;
    atc.startkey = false;
    atc.rebrake = kRebrakeNone;
    atc.information = kMessageNone;
    if (atc.drivestate == kUnattendedArea && !atc.door)
      atc.drivestate = GroupOutsideUnattendedArea();
  } else if (atc.stopbrake != kStopNone) {
    gHandles.brake = kBrakeFullService;
    if (atc.stopbrake == kStopEmergency) {
      atc.ebtime = WrapAdd(f.time, kBrakeNoticeMs);
      atc.information = kMessageBrakeNotice;
    }
    atc.stopbrake = kStopNone;
  }
  if (f.time >= atc.ebtime) atc.ebtime = 0;
}
