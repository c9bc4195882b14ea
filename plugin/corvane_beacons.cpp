// corvane: the route beacons. Each beacon's optional value packs decimal
// fields, unpacked with truncating division so negative values stay defined.
#include "channels.h"
#include "corvane_frame.h"
#include "corvane_tables.h"
#include "tools.h"

namespace {

constexpr int32_t kDwellPlaceholderMs = 3600000;  // one hour
constexpr int32_t kTargetShowMs = 150;
constexpr double kStoppingPointStep = 25.0;  // metres per unit

struct RunNumberFields {
  int32_t terminus, run;
};
struct StationFields {
  int32_t speedLimit, departureMs;
};
struct StoppingPointFields {
  int32_t thisStopUnits, nextStopUnits;
};
struct BrakingFields {
  int32_t endAction, finalSpeed, endLocation;
};

RunNumberFields UnpackRunNumber(int32_t o) { return {o / 1000, o % 1000}; }

// The low five digits are seconds of the day; they fit in int32 as ms.
StationFields UnpackStation(int32_t o) { return {o / 100000, (o % 100000) * 1000}; }

StoppingPointFields UnpackStoppingPoint(int32_t o) { return {o / 10000, o % 10000}; }

BrakingFields UnpackBraking(int32_t o) {
  const int32_t location = o % 1000000;
  const int32_t action = o / 1000000000;
  return {action, ((o - action * 1000000000) - location) / 1000000, location};
}

void RunNumberBeacon(int32_t o) {
  const RunNumberFields fields = UnpackRunNumber(o);
  atc.terminus = fields.terminus;
  atc.run = fields.run;
}

void StationBeacon(int32_t o) {
  const StationFields fields = UnpackStation(o);
  const int32_t now = gState.time;
  atc.proceedtime = fields.departureMs;
  atc.dwelltime = fields.departureMs;
  atc.maxspd = fields.speedLimit;
  atc.proceedsound = true;
  if (atc.dwell != kDwellNone) return;
  // Parked at least an hour ahead until the doors are worked.
  atc.dwelltime = WrapSub(atc.proceedtime, now) > kDwellPlaceholderMs - 1
                      ? atc.proceedtime
                      : WrapAdd(now, kDwellPlaceholderMs);
  atc.dwell = kDwellAnnounced;
}

void LocationBeacon(int32_t code) {
  const LocationRule& rule = LocationRuleFor(code);
  atc.trainlocation = code;
  atc.finbak = rule.finbak;
  atc.doorsidelamp = rule.doorside;
  if (rule.drivestate == kStateByCode) {
    atc.drivestate = code / 10;
  } else if (rule.drivestate == kStateByUnattendedRunning) {
    const bool unattended =
        atc.information == kMessageUnattendedRunning || atc.drivestate == kUnattendedArea;
    atc.drivestate = unattended ? kUnattendedArea : kLocationGroup2;
  } else {
    atc.drivestate = rule.drivestate;
  }
}

void StoppingPointBeacon(int32_t o) {
  const StoppingPointFields fields = UnpackStoppingPoint(o);
  atc.thisstop = fields.thisStopUnits * kStoppingPointStep;
  atc.nextstop = fields.nextStopUnits * kStoppingPointStep;
  atc.braking = false;
  atc.rebrake = kRebrakeNone;
  atc.targettime = 0;
}

void SpeedLimitBeacon(int32_t limit) {
  atc.maxspd = limit;
  atc.braking = false;
  if (SupervisedInArea()) PlaySound(sound::kChime);
}

bool SelfDriven() {
  return atc.trainmode == kModeAutomatic ||
         (atc.trainmode == kModeUnattended && atc.drivestate == kUnattendedArea);
}

// The deceleration takes the train from its start speed here to the final
// speed at the end location; an end location here divides by zero (IEEE).
void BrakingBeacon(int32_t o) {
  const BrakingFields fields = UnpackBraking(o);
  atc.targettime = 0;
  atc.braking = true;
  atc.powering = false;
  atc.decdis = fields.endLocation;
  atc.rebrake = fields.endAction;
  atc.finalspd = fields.finalSpeed;
  if (SupervisedInArea()) {
    PlaySound(sound::kChime);
    if (atc.trainmode == kModeAutomatic) gHandles.power = 0;
  }
  const double u = (SelfDriven() ? gState.speed : atc.maxspd) / 3.6;
  const double vf = atc.finalspd / 3.6;
  atc.dec = (vf * vf - u * u) / (2 * (atc.decdis - gState.location));
}

void DrivingOptionBeacon(int32_t o) {
  constexpr int32_t kNeutralSection = 3;
  if (o < 0) return;
  if (o < kNeutralSection) {
    atc.holdpwbk = o;
  } else if (o == kNeutralSection) {
    atc.nzlocation = gState.location;
  } else {
    atc.targettime = WrapAdd(gState.time, kTargetShowMs);
    atc.finalspd = o;
  }
}

}  // namespace

void SetMaxSpeed(ATS_BEACONDATA beacon) {
  const int32_t o = beacon.optional;
  switch (beacon.type) {
    case kBeaconRunNumber: RunNumberBeacon(o); break;
    case kBeaconStation: StationBeacon(o); break;
    case kBeaconLocation: LocationBeacon(o); break;
    case kBeaconStoppingPoint: StoppingPointBeacon(o); break;
    case kBeaconSpeedLimit: SpeedLimitBeacon(o); break;
    case kBeaconBraking: BrakingBeacon(o); break;
    case kBeaconDrivingOption: DrivingOptionBeacon(o); break;
    default: break;
  }
}
