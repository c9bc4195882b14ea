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

struct AtcState {
  // Driving mode, location and requests
  int32_t trainmode = kModeUnattended;
  int32_t drivestate = kNoLocation;
  int32_t trainlocation = 0;
  bool modeinterlock = false;
  bool startkey = false;
  int32_t stopbrake = kStopNone;
  int32_t information = kMessageNone;
  int32_t ebtime = 0;
  // Speed supervision and automatic driving
  double maxspd = 0;
  double tagspd = 0;
  double finalspd = 0;
  double decdis = 0;
  double dec = 0;
  bool braking = false;
  bool powering = false;
  int32_t rebrake = kRebrakeNone;
  int32_t rebraketime = 0;
  int32_t holdpwbk = kHoldNormal;
  double nzlocation = 0;
  int32_t targettime = 0;
  // Station stops
  double thisstop = 0;
  double nextstop = 0;
  int32_t finbak = 0;
  int32_t finbaksty = 1;
  int32_t proceedtime = 0;
  int32_t dwell = kDwellNone;
  int32_t dwelltime = 0;
  bool proceedsound = false;
  int32_t finalsound = kChimeDisarmed;
  int32_t terminus = 0;
  int32_t run = 0;
  // Doors: the train starts with its doors open
  bool door = true;
  bool doordet = false;
  bool doorbrake = false;
  int32_t doorsidelamp = 0;
  bool dokedlamp = false;
  bool psdlamp = false;
  // Cab display
  int32_t cctv = kCctvOff;
  int32_t cctvmode = kCctvModeOff;
  int32_t targetcover = kCoverNotShown;
  int32_t targetcovertime = 0;
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
