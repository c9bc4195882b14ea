// The driver's seat: the handles and keys the plug-in is told of, from the
// timeline's actions, the driver's first steps into the mode the run asks
// for and, in a manual mode, the simulated driver; and the supervision
// watched against his handles.
#pragma once

#include <cstdint>
#include <optional>

#include "host/interventions.h"
#include "host/timeline.h"
#include "model/driver.h"
#include "plugin_api.h"
#include "scenario/scenario.h"

class DriverSeat {
 public:
  DriverSeat(const Scenario& s, const PluginApi& api, const RunClock& now, Timeline& timeline);

  // A timed or placed action of the timeline, other than the doors.
  void Apply(const Action& a);
  // Before the plug-in's frame: the brake handle to 8 and the mode keys
  // into the mode asked for, then in a manual mode the driver.
  void Drive(long frame, const int32_t* panel, bool doorsOpen);
  // After it: the interventions of the supervision against the driver's
  // handles; the one counted in this frame, if any.
  const Intervention* Watch(const WatchedFrame& f);

  const ATS_HANDLES& Handles() const { return handles_; }
  std::vector<Intervention> Interventions() const { return watch_.All(); }

 private:
  void PressKey(int32_t key);
  void SetPower(int32_t notch);
  void SetBrake(int32_t notch);

  const Scenario& s_;
  PluginApi api_;
  const RunClock& now_;
  Timeline& timeline_;
  std::optional<Driver> driver_;
  InterventionWatch watch_;
  ATS_HANDLES handles_{};  // the driver's handles as last reported to the plug-in
  bool active_ = false;    // whether he has moved a handle
};
