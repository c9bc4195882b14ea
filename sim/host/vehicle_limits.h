// The handles a train can take: a host applies the plug-in's notches within
// the vehicle's range, and says once of each handle when it asked for more.
#pragma once

#include <fmt/format.h>

#include <algorithm>
#include <string>

#include "atsplugin.h"
#include "host/timeline.h"

class VehicleLimits {
 public:
  explicit VehicleLimits(const ATS_VEHICLESPEC& v) : v_(v) {}

  ATS_HANDLES Applied(ATS_HANDLES h, Timeline& timeline) {
    h.power =
        Within(h.power, v_.powerNotchCount, v_.powerNotchCount, "power", toldPower_, timeline);
    // The emergency is the notch past the service ones; a service request
    // beyond the train's notches is its highest service notch.
    const int32_t emergency = v_.brakeNotchCount + 1;
    const int32_t most = h.brake == emergency ? emergency : v_.brakeNotchCount;
    h.brake = Within(h.brake, v_.brakeNotchCount, most, "brake", toldBrake_, timeline);
    return h;
  }

 private:
  static int32_t Within(int32_t notch, int32_t notches, int32_t most, const char* handle,
                        bool& told, Timeline& timeline) {
    const int32_t applied = std::clamp(notch, 0, most);
    if (applied != notch && !told) {
      told = true;
      timeline.Log(
          fmt::format("the plug-in asked for {0} {1} on a train with {2} {0} notch{3}; "
                      "applied {4}",
                      handle, notch, notches, notches == 1 ? "" : "es", applied));
    }
    return applied;
  }

  ATS_VEHICLESPEC v_;
  bool toldPower_ = false, toldBrake_ = false;
};
