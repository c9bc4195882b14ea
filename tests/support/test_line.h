// Route set-up shared by the scenario tests: a train standing at the start of
// a line in automatic mode, ready for the start key.
#pragma once

#include "fixture.h"

// Packs a stopping-point beacon: both points in metres, multiples of 25.
constexpr int32_t StoppingPoints(int32_t thisStop, int32_t nextStop) {
  return thisStop / 25 * 10000 + nextStop / 25;
}

// Packs a braking beacon.
constexpr int32_t BrakingCurve(int32_t endAction, int32_t finalSpeed, int32_t endLocation) {
  return endAction * 1000000000 + finalSpeed * 1000000 + endLocation;
}

constexpr int32_t kEightAm = 8 * 3600 * 1000;
constexpr double kStartLocation = 1000;

// Standing at 1000 m (clear of the neutral-section windows that a fresh
// state puts at 0 m) with the doors closed, brake handle at 8 and a first frame
// done, so the start key is accepted.
inline void ReadyAtStart(TrainHost& host, int32_t mode, int32_t limit, int32_t stop,
                         int32_t locationCode = 12) {
  host.Start();
  atc.trainmode = mode;
  host.Place(kStartLocation, 0, kEightAm);
  host.Beacon(kBeaconLocation, locationCode);
  host.Beacon(kBeaconSpeedLimit, limit);
  host.Beacon(kBeaconStoppingPoint, StoppingPoints(stop, stop));
  host.SetBrake(8);
  host.CloseDoors();
  host.Frame();
}
