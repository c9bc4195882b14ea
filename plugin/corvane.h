// corvane: the automatic train control. Its whole state is one record with
// the values it has when the library is loaded; nothing resets it later.
#pragma once

#include <cstdint>

#include "atsplugin.h"
#include "channels.h"

enum StopBrake : int32_t {
  kStopNone = 0,
  kStopEmergency = 1,
  kStopService = 2,
};

enum DwellPhase : int32_t {
  kDwellNone = 0,
  kDwellAnnounced = 1,
  kDwelling = 2,
};

enum Rebrake : int32_t {
  kRebrakeNone = 0,
  kRebrakeChimeThenRebrake = 1,
  kRebrakeChimeOnly = 2,
  kRebraking = 3,
  kRepowering = 4,
};

enum HoldStyle : int32_t {
  kHoldNormal = 0,
  kHoldConstantSpeed = 1,
  kHoldBrake = 2,
};

enum FinalSound : int32_t {
  kChimeDisarmed = 0,
  kChimeArmed = 1,
  kChimePlayed = 2,
};

enum CctvMode : int32_t {
  kCctvModeOff = 0,
  kCctvModeAutomatic = 1,
  kCctvModeManual = 2,
};

enum CctvPicture : int32_t {
  kCctvOff = 0,
  kCctvAutomatic = 2,
  kCctvManual = 3,
};

enum TargetCover : int32_t {
  kCoverNotShown = 0,
  kCoverShown = 1,
  kCoverDone = 2,
};

// Location codes with a meaning of their own.
constexpr int32_t kCodeUnattendedStart = 10;
constexpr int32_t kCodeUnattendedDepot = 28;
constexpr int32_t kCodeUnattendedExit = 29;

// Brake notches written by the train control are literal, as for a train
// with eight service notches.
constexpr int32_t kBrakeHolding = 7;
constexpr int32_t kBrakeFullService = 8;
constexpr int32_t kBrakeEmergency = 9;

// The train control's state. Each field says what it holds and who writes
// it: the beacons (corvane_beacons), the keys and handles (corvane_controls),
// the door events (corvane_station), or a frame step: 1-3 the profile, 4 and
// 9-10 the cab, 5 automatic driving, 6-8 supervision, 11 leaving the
// unattended area. Speeds in km/h, locations in m, times in ms of the host's clock.
struct AtcState {
  // Driving mode, location and requests
  int32_t trainmode = kModeUnattended;  // driving mode 0-5; mode keys only
  int32_t drivestate = kNoLocation;     // location group 1-2, or 3 the unattended area; beacons,
                                        // door events, mode keys, steps 6 and 11
  int32_t trainlocation = 0;            // code of the last location beacon; beacons
  bool modeinterlock = false;           // the driver's brake handle is at 8; brake handle
  bool startkey = false;                // a start-key departure is running; start key, steps 1-8
  int32_t stopbrake = kStopNone;        // stop braking asked for; keys, door events, steps 6-8
  int32_t information = kMessageNone;   // cab message code; steps 8 and 10
  int32_t ebtime = 0;                   // end of the brake notice, 0 for none; steps 8 and 10
  // Speed supervision and automatic driving
  double maxspd = 0;               // line speed limit; beacons, steps 5-6
  double tagspd = 0;               // this frame's target speed; step 3
  double finalspd = 0;             // speed at the braking curve's end, shown on the digits; beacons
  double decdis = 0;               // where the braking curve ends; beacons
  double dec = 0;                  // m/s² of the curve in force, negative slowing; beacons, step 2
  bool braking = false;            // the braking curve governs, else the stopping curve;
                                   // beacons, start key, steps 5-6
  bool powering = false;           // automatic driving may power; beacons, start key, step 5
  int32_t rebrake = kRebrakeNone;  // what follows the braking curve, and re-braking's phase;
                                   // beacons, steps 5-6
  int32_t rebraketime = 0;         // earliest next re-braking step; step 5
  int32_t holdpwbk = kHoldNormal;  // how automatic driving holds its speed; beacons, step 5
  double nzlocation = 0;           // start of the neutral section; beacons
  int32_t targettime = 0;          // until then finalspd shows without a curve, 0 not
                                   // showing; beacons, step 10
  // Station stops
  double thisstop = 0;         // stopping point of this station; beacons
  double nextstop = 0;         // stopping point of the next station; beacons
  int32_t finbak = 0;          // final-braking style for the next stop, 1-3; beacons
  int32_t finbaksty = 1;       // the style in force, finbak once no dwell is pending; step 1
  int32_t proceedtime = 0;     // scheduled departure of this stop; beacons
  int32_t dwell = kDwellNone;  // dwell phase; beacons, door events, step 1
  int32_t dwelltime = 0;       // when the dwell ends, 0 for none pending; beacons, door
                               // events, step 1
  bool proceedsound = false;   // the departure chime is due at the dwell's end; beacons,
                               // door events, step 1
  int32_t finalsound = kChimeDisarmed;  // the approach chime's state; steps 1, 5-6
  int32_t terminus = 0;                 // destination code; beacons
  int32_t run = 0;                      // run number 0-999; beacons
  // Doors: the train starts with its doors open
  bool door = true;          // doors open; door events
  bool doordet = false;      // a door event happened at this stop; door events, start key
  bool doorbrake = false;    // door-close brake latch, set by each door event and taken
                             // by the next close; door events
  int32_t doorsidelamp = 0;  // door side of the coming stop, 0 no platform doors; beacons
  bool dokedlamp = false;    // docked: standing within the stop window; step 9, start key
  bool psdlamp = false;      // doors worked and closed while docked; step 9, start key,
                             // step 7
  // Cab display
  int32_t cctv = kCctvOff;               // platform CCTV picture; CCTV key, step 9
  int32_t cctvmode = kCctvModeOff;       // how the CCTV picture was switched on; CCTV key, step 9
  int32_t targetcover = kCoverNotShown;  // the target cover at this stop; steps 1 and 9
  int32_t targetcovertime = 0;           // earliest end of the target cover; step 9
};

extern AtcState atc;

// Beacons, keys, handles and doors, between frames.
void SetMaxSpeed(ATS_BEACONDATA beacon);
void SetPowerHandle(int32_t notch);
void SetBrakeHandle(int32_t notch);
void SetReverserHandle(int32_t position);
void StartKeyPressed(int32_t key);
void StartKeyReleased(int32_t key);
void CheckDoor(bool open);

// The frame; the argument is unused, the speed is read from gState.
void SetTargetSpeed(float speed);
