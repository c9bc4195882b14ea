// corvane: the driver's controls. Handles, mode stepping, the start key and
// the cab keys, and the end of the unattended area at the end of a frame.
#include "channels.h"
#include "corvane_frame.h"

namespace {

enum Key : int32_t {
  kKeyStart = 0,
  kKeyModeUp = 1,
  kKeyModeDown = 2,
  kKeyCctv = 10,
  kKeyEmergency = 15,
};

constexpr double kStartMinTarget = 4.0;  // km/h

// Cab keys that only sound: the switch click, then a sound by door state.
struct CabKey {
  int32_t key, soundDoorsOpen, soundDoorsClosed;
};
constexpr CabKey kCabKeys[] = {
    {5, sound::kKey5, sound::kKey5},
    {6, sound::kKey6, sound::kKey6},
    {7, sound::kKey7DoorsOpen, sound::kKey7DoorsClosed},
    {8, sound::kKey8, sound::kKey8},
    {9, sound::kKey9DoorsOpen, sound::kKey9DoorsClosed},
};

bool Standing() { return gState.speed == 0; }

void StepMode(int32_t step) {
  if (atc.trainmode == kModeReverse && step > 0) {
    PlaySound(sound::kToUnattendedMode);
    atc.cctvmode = kCctvModeOff;
    atc.cctv = kCctvOff;
  }
  atc.trainmode += step;
  PlaySound(sound::kModeChange);
  if (atc.drivestate == kUnattendedArea && !atc.door) atc.drivestate = GroupOutsideUnattendedArea();
}

bool ModeStepAllowed() { return atc.modeinterlock && Standing() && !atc.startkey; }

void PressStartKey() {
  PlaySound(sound::kStartKeyDown);
  const bool accepted = gHandles.reverser == 1 && !atc.door && atc.tagspd > kStartMinTarget &&
                        atc.modeinterlock && Standing() && atc.drivestate != kUnattendedArea &&
                        atc.trainmode == kModeAutomatic;
  if (!accepted) return;
  BeginDeparture();
  SetTargetSpeed(gState.speed);  // the ramp starts within the key call
}

void PressCctvKey() {
  if (atc.trainmode == kModeUnattended) return;
  if (atc.cctvmode == kCctvModeOff) {
    PlaySound(sound::kSwitchClick);
    atc.cctv = kCctvManual;
    atc.cctvmode = kCctvModeManual;
  } else if (atc.cctvmode == kCctvModeManual) {
    PlaySound(sound::kSwitchClick);
    atc.cctvmode = kCctvModeOff;
    atc.cctv = kCctvOff;
  }
}

void PressCabKey(int32_t key) {
  for (const CabKey& cab : kCabKeys) {
    if (cab.key != key) continue;
    PlaySound(sound::kSwitchClick);
    PlaySound(atc.door ? cab.soundDoorsOpen : cab.soundDoorsClosed);
  }
}

}  // namespace

void SetPowerHandle(int32_t notch) {
  if (ManualMode()) gHandles.power = notch;
}

void SetBrakeHandle(int32_t notch) {
  if (ManualMode() && !atc.door) gHandles.brake = notch;
  if (atc.trainmode == kModeAutomatic) {
    if (notch == kBrakeEmergency) atc.stopbrake = kStopEmergency;
    if (notch <= 7) atc.stopbrake = kStopService;
  } else if (UnattendedDriving()) {
    if (notch == kBrakeEmergency) atc.stopbrake = kStopEmergency;
    if (notch <= 5) atc.stopbrake = kStopService;
  }
  atc.modeinterlock = notch == kBrakeFullService;
}

void SetReverserHandle(int32_t) { atc.stopbrake = kStopService; }

void StartKeyPressed(int32_t key) {
  switch (key) {
    case kKeyStart: PressStartKey(); break;
    case kKeyModeUp:
      if (ModeStepAllowed() && atc.trainmode <= kModeReverse) StepMode(+1);
      break;
    case kKeyModeDown:
      if (ModeStepAllowed() && atc.trainmode >= kModeSupervisedManual) StepMode(-1);
      break;
    case kKeyCctv: PressCctvKey(); break;
    case kKeyEmergency:
      if (gState.speed > 0) atc.stopbrake = kStopEmergency;
      break;
    default: PressCabKey(key); break;
  }
}

void StartKeyReleased(int32_t key) {
  if (key == kKeyStart) PlaySound(sound::kStartKeyUp);
}

// The unattended area lasts only in mode 5, or while the doors are open.
void LeaveUnattendedArea() {
  if (atc.drivestate == kUnattendedArea && atc.trainmode != kModeUnattended && !atc.door) {
    atc.drivestate = GroupOutsideUnattendedArea();
  }
}
