// channels: the panel and sound indices of the cab. The host's cab definition
// binds its indicators and sounds to these numbers, so they are an interface.
#pragma once

#include <cstdint>

namespace panel {
constexpr int32_t kTargetSpeed = 11;
constexpr int32_t kTargetDigitHundreds = 12;
constexpr int32_t kTargetDigitTens = 13;
constexpr int32_t kTargetDigitUnits = 14;
constexpr int32_t kDockedLamp = 21;
constexpr int32_t kPlatformDoorLamp = 22;
constexpr int32_t kDoorsOpenSideMinus = 26;
constexpr int32_t kDoorsOpenSidePlus = 27;
constexpr int32_t kDistanceFirstPlace = 31;  // five places, 31 to 35
constexpr int32_t kDistancePlaces = 5;
constexpr int32_t kDistanceUnit = 36;
constexpr int32_t kPowerNotch = 37;
constexpr int32_t kBrakeNotch = 38;
constexpr int32_t kDriveState = 39;
constexpr int32_t kTargetCoverState = 40;
constexpr int32_t kTargetCover = 47;
constexpr int32_t kMessage = 51;
constexpr int32_t kAlwaysZero = 52;
constexpr int32_t kTerminus = 53;
constexpr int32_t kRunNumber = 54;
constexpr int32_t kCarsLessOne = 55;
constexpr int32_t kNoPlatformDoors = 56;
constexpr int32_t kCctv = 61;
constexpr int32_t kTrainMode = 70;
}  // namespace panel

namespace sound {
constexpr int32_t kStartKeyDown = 0;
constexpr int32_t kStartKeyUp = 1;
constexpr int32_t kSwitchClick = 2;
constexpr int32_t kToUnattendedMode = 3;
constexpr int32_t kChime = 4;
constexpr int32_t kKey7DoorsOpen = 5;
constexpr int32_t kKey7DoorsClosed = 6;
constexpr int32_t kKey9DoorsOpen = 7;
constexpr int32_t kKey9DoorsClosed = 8;
constexpr int32_t kKey8 = 9;
constexpr int32_t kKey5 = 10;
constexpr int32_t kKey6 = 11;
constexpr int32_t kOverspeed = 12;
constexpr int32_t kWiperSwitch = 13;
constexpr int32_t kModeChange = 14;
}  // namespace sound

// Place codes of the target-speed digits and the distance display.
constexpr int32_t kTargetDigitBlank = 10;
constexpr int32_t kDistanceKilometreSymbol = 10;
constexpr int32_t kDistanceBlank = 11;

// Values of the distance display's unit panel.
constexpr int32_t kUnitMetres = 0;
constexpr int32_t kUnitSeconds = 1;
constexpr int32_t kUnitKilometres = 2;

// The driving mode on panel::kTrainMode.
enum TrainMode : int32_t {
  kModeAutomatic = 0,
  kModeSupervisedManual = 1,
  kModeRestrictedManual = 2,
  kModeBrakeHold = 3,
  kModeReverse = 4,
  kModeUnattended = 5,
};

// The location group on panel::kDriveState.
enum DriveState : int32_t {
  kNoLocation = 0,
  kLocationGroup1 = 1,
  kLocationGroup2 = 2,
  kUnattendedArea = 3,
};

// The message on panel::kMessage.
enum Message : int32_t {
  kMessageNone = 0,
  kMessageReadyGroup1 = 1,
  kMessageReadyGroup2 = 2,
  kMessageUnattendedRunning = 3,
  kMessageBrakeNotice = 4,
  kMessageNoPlatformDoors = 5,
};
