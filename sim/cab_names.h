// Names of the driving modes and cab messages, and the lookup of a name by value.
#pragma once

#include <array>
#include <cstdint>

#include "channels.h"

inline constexpr std::array<const char*, 6> kModeNames = {
    "automatic", "supervised manual", "restricted manual", "brake hold", "reverse", "unattended"};

inline constexpr std::array<const char*, 6> kMessageNames = {
    "no message",   "ready to depart (group 1)",  "ready to depart (group 2)", "unattended running",
    "brake notice", "stop without platform doors"};

// The cab's "ready to depart", in either location group.
inline bool ReadyToDepartShown(const int32_t* panel) {
  return panel[panel::kMessage] == kMessageReadyGroup1 ||
         panel[panel::kMessage] == kMessageReadyGroup2;
}

// Above this the plug-in stops a train in restricted manual or reverse mode.
constexpr double kCeilingKmh = 26;

template <size_t N>
const char* NameOf(const std::array<const char*, N>& names, int32_t value) {
  return value >= 0 && value < static_cast<int32_t>(N) ? names[value] : "unknown";
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
