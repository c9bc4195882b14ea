#include "scenario/stop_style.h"

#include "model/beacon_codes.h"

int StyleOfStop(const Scenario& s, double stop) {
  int32_t code = 0, atStation = 0;
  for (const RouteBeacon& b : s.beacons) {
    if (b.location >= stop) break;
    if (b.data.type == kBeaconLocation) code = b.data.optional;
    if (b.data.type == kBeaconStation) atStation = code;
  }
  return beacon::FinalBrakingStyle(atStation);
}
