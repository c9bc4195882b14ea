// The beacons of the host's route file: what each type's optional value
// packs, both ways, and the beacon in words.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "atsplugin.h"

namespace beacon {

struct Run {
  int32_t destination, number;
};
struct Station {
  int32_t limit, departureSeconds;  // km/h; seconds of the day
};
struct StoppingPoints {
  int32_t thisStop, nextStop;  // metres
};
struct Braking {
  int32_t then, finalSpeed, end;  // what follows the curve, km/h, metres
};

constexpr int32_t kStoppingPointStep = 25;           // metres a unit
constexpr int32_t kStoppingPointLimit = 10000 * 25;  // metres, exclusive
constexpr int32_t kNeutralSection = 3;               // option value
constexpr int32_t kFastestShown = 999;               // km/h: option values above 3 show a speed
inline constexpr std::array<const char*, 3> kBrakingEnds = {"nothing", "rebrake", "chime"};
inline constexpr std::array<const char*, 4> kOptions = {"normal", "constant_speed", "brake_hold",
                                                        "neutral_section"};

// Packed in 64 bits, so that a caller can tell a value too large for the beacon.
int64_t Pack(const Run& r);
int64_t Pack(const Station& s);
int64_t Pack(const StoppingPoints& p);
int64_t Pack(const Braking& b);

Run RunOf(int32_t optional);
Station StationOf(int32_t optional);
StoppingPoints StoppingPointsOf(int32_t optional);
Braking BrakingOf(int32_t optional);

// The final-braking style a location code gives, and the stopping curve of
// a style: it reaches 0 km/h offset metres beyond the stopping point.
int FinalBrakingStyle(int32_t locationCode);
// The door side a location code shows in the cab: -1, +1, or 0 for none.
int DoorSideOf(int32_t locationCode);
struct StoppingCurve {
  double decel, offset;                 // m/s², m
  double SpeedAt(double toStop) const;  // km/h, toStop metres before the point
  // The cab's target under the curve: past where the curve reaches 0 km/h
  // it rises again with the overrun.
  double Aim(double toStop) const {
    return SpeedAt(toStop + offset >= 0 ? toStop : -toStop - offset);
  }
};
StoppingCurve StoppingCurveOf(int style);
// The final braking's notch by style for e km/h below the stopping curve:
// the host's own reading of the plug-in's tables.
int FinalBrakingNotch(int style, double e);
constexpr double kFinalBrakingBand = 3;  // km/h below the curve the final braking acts
// The notch automatic driving brakes with where the stopping curve governs,
// toStop metres before the stopping point at kmh: the final braking's in
// its band, the overspeed brake from kFinalBrakingEnds on while the train
// runs, full service past the overrun limit; else the notch it holds.
int StoppingNotch(int style, double toStop, double kmh, int holds);

// The location codes of group 1 that open the doors on `side` (-1 or +1),
// one for each final-braking style, style 1 first: the code table's own.
std::vector<int32_t> SideCodes(int32_t side);

// Whether the cab shows "ready to depart" under a location code: in
// location groups 1 and 2, and in the unattended area, which automatic
// driving leaves for one of them once the doors close; never with no group
// (codes 0 to 9) nor in groups 4 and up (codes 40 and up).
bool OffersDeparture(int32_t code);

// "style 2, doors left (-1), location group 1": what a location code sets.
std::string DescribeLocation(int32_t code);

// "braking curve to 40 km/h ending at 2500 m, then rebrake"
std::string Describe(const ATS_BEACONDATA& b);

}  // namespace beacon
