// The cab as the host sees it: the names of the driving modes and messages,
// the keys and brake notches the host works with, and the plug-in's
// thresholds as the host judges them. The host keeps its own values so that
// it judges the plug-in independently; a test holds them to the plug-in's.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "channels.h"

// Every mode by name; a mode the plug-in adds fails to compile here (-Werror=switch).
constexpr const char* ModeName(TrainMode mode) {
  switch (mode) {
    case kModeAutomatic: return "automatic";
    case kModeSupervisedManual: return "supervised manual";
    case kModeRestrictedManual: return "restricted manual";
    case kModeBrakeHold: return "brake hold";
    case kModeReverse: return "reverse";
    case kModeUnattended: return "unattended";
  }
  return "unknown";
}
constexpr int32_t kModeCount = kModeUnattended + 1;

// Every message by name; a message the plug-in adds fails to compile here.
constexpr const char* MessageName(Message message) {
  switch (message) {
    case kMessageNone: return "no message";
    case kMessageReadyGroup1: return "ready to depart (group 1)";
    case kMessageReadyGroup2: return "ready to depart (group 2)";
    case kMessageUnattendedRunning: return "unattended running";
    case kMessageBrakeNotice: return "brake notice";
    case kMessageNoPlatformDoors: return "stop without platform doors";
  }
  return "unknown";
}
constexpr int32_t kMessageCount = kMessageNoPlatformDoors + 1;

// The panel values as read off the cab: a value out of range is "unknown".
inline const char* ModeShown(int32_t value) { return ModeName(static_cast<TrainMode>(value)); }
inline const char* MessageShown(int32_t value) { return MessageName(static_cast<Message>(value)); }

// The host's key numbers that the simulator presses itself.
namespace key {
constexpr int32_t kStart = 0;
constexpr int32_t kModeUp = 1;    // one mode toward unattended
constexpr int32_t kModeDown = 2;  // one mode toward automatic
}  // namespace key

// Brake notches the plug-in writes as they are, for a train of 8 service notches.
namespace notch {
constexpr int32_t kOverspeed = 4;  // automatic driving's brake on an overspeed
constexpr int32_t kHolding = 7;
constexpr int32_t kFullService = 8;  // also the driver's mode interlock
constexpr int32_t kEmergency = 9;
}  // namespace notch

// The plug-in's thresholds, as the host judges them.
constexpr double kDockedWindow = 0.5;    // m either side of the stopping point: the docked lamp
constexpr double kCeilingKmh = 26;       // restricted manual and reverse stop a train above it
constexpr double kOverrunMetres = 6.25;  // beyond the stopping point: the overrun protection
constexpr int32_t kStartKeyTarget = 4;   // km/h: the start key departs only above this target
// m before the stopping point: automatic driving's final braking gives way
// to the overspeed brake.
constexpr double kFinalBrakingEnds = 0.2;

// The one judge of a stop: the train stands within the docked window, an
// error in metres beyond the stopping point (negative: short).
inline bool WithinDockedWindow(double error) { return std::fabs(error) <= kDockedWindow; }

// The cab's "ready to depart", in either location group.
inline bool ReadyToDepartShown(const int32_t* panel) {
  return panel[panel::kMessage] == kMessageReadyGroup1 ||
         panel[panel::kMessage] == kMessageReadyGroup2;
}

// The panels a driver reads in the cab.
inline constexpr std::array<int32_t, 16> kCabPanels = {panel::kTargetSpeed,
                                                       panel::kTargetDigitHundreds,
                                                       panel::kTargetDigitTens,
                                                       panel::kTargetDigitUnits,
                                                       panel::kDockedLamp,
                                                       panel::kPlatformDoorLamp,
                                                       panel::kDoorsOpenSideMinus,
                                                       panel::kDoorsOpenSidePlus,
                                                       panel::kDistanceFirstPlace,
                                                       panel::kDistanceFirstPlace + 1,
                                                       panel::kDistanceFirstPlace + 2,
                                                       panel::kDistanceFirstPlace + 3,
                                                       panel::kDistanceFirstPlace + 4,
                                                       panel::kDistanceUnit,
                                                       panel::kMessage,
                                                       panel::kTrainMode};
