// The beacons the train passes, handed to the plug-in in location order;
// a rain beacon also wets the rails.
#pragma once

#include <fmt/format.h>

#include "host/timeline.h"
#include "model/beacon_codes.h"
#include "model/dynamics.h"
#include "plugin_api.h"
#include "scenario/scenario.h"

class BeaconPass {
 public:
  BeaconPass(const Scenario& s, const PluginApi& api, TrainModel& model, Timeline& timeline)
      : s_(s), api_(api), model_(model), timeline_(timeline) {}

  // Every beacon up to the train's front, not yet passed.
  void Pass(double front) {
    for (; next_ < s_.beacons.size() && s_.beacons[next_].location <= front; ++next_) {
      const RouteBeacon& b = s_.beacons[next_];
      if (b.location < s_.startLocation) continue;  // behind the train at the start
      if (b.data.type == kBeaconRain) model_.SetRaining(b.data.optional > 0);
      api_.SetBeaconData(b.data);
      timeline_.Log(fmt::format("beacon {} optional {} at {:.1f} m: {}", b.data.type,
                                b.data.optional, b.location, beacon::Describe(b.data)));
    }
  }

 private:
  const Scenario& s_;
  PluginApi api_;
  TrainModel& model_;
  Timeline& timeline_;
  size_t next_ = 0;
};
