// The platform crew: the host's doors at each platform, the driver's start
// key, and his correction of a train that stopped short of the doors' reach.
#pragma once

#include <cstdint>
#include <utility>

#include "host/stops.h"
#include "host/timeline.h"
#include "plugin_api.h"
#include "scenario/scenario.h"

class PlatformCrew {
 public:
  PlatformCrew(const Scenario& s, const PluginApi& api, StopBook& stops, const RunClock& now,
               Timeline& timeline)
      : s_(s), api_(api), stops_(stops), now_(now), timeline_(timeline) {}

  // A host reports the doors open at a platform and shut elsewhere; the
  // plug-in takes them for open until told.
  void DoorsAtTheStart();
  // Each frame, before the plug-in's: doors, start key and corrections, by
  // what the cab showed after the last frame.
  void Work(const int32_t* panel);

  void OpenDoors();
  void CloseDoors();
  bool DoorsOpen() const { return doorsOpen_; }
  // Whether the doors were worked since the last time this was asked.
  bool TakeDoorsWorked() { return std::exchange(doorsWorked_, false); }

 private:
  void AtPlatform(StopRecord& stop, const int32_t* panel);
  void PressStartKey(const std::string& why);
  bool CorrectionDue(const StopRecord& stop, double shortBy, const int32_t* panel) const;
  bool Waited(int32_t sinceMs) const;
  bool KeyRested() const;

  const Scenario& s_;
  PluginApi api_;
  StopBook& stops_;
  const RunClock& now_;
  Timeline& timeline_;
  bool doorsOpen_ = true;  // a train starts with its doors open
  bool doorsWorked_ = false;
  int32_t lastStartKeyMs_ = INT32_MIN / 2;
};
