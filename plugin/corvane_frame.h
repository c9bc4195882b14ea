// corvane internals: the values of one frame and the steps of the frame,
// shared by the source files of the corvane module only.
#pragma once

#include <cstdint>

#include "corvane.h"

// Read once at the start of a frame; the three derived values are worked out
// by the first steps and read by the later ones.
struct Frame {
  double location;
  double v;  // the host's speed, km/h
  int32_t time;
  double stoppos = 0;   // stopping point in use
  double limspd = 0;    // speed limit of this frame
  double curvespd = 0;  // may be NaN
};

// The curve governs when its speed is at or below the limit; a NaN curve
// speed never governs.
inline bool CurveGoverns(const Frame& f) { return f.limspd - f.curvespd >= 0; }

inline bool DwellPending(int32_t time) { return time < atc.dwelltime; }

// Mode 5 drives itself in the unattended area or while unattended running is shown.
inline bool UnattendedDriving() {
  return atc.trainmode == kModeUnattended &&
         (atc.drivestate == kUnattendedArea || atc.information == kMessageUnattendedRunning);
}

inline bool AutomaticDriving() { return atc.trainmode == kModeAutomatic || UnattendedDriving(); }

// The modes in which the target speed is supervised and shown.
inline bool TargetSupervised() {
  return atc.trainmode == kModeAutomatic || atc.trainmode == kModeSupervisedManual ||
         UnattendedDriving();
}

// As above, but mode 5 counts only inside the unattended area.
inline bool SupervisedInArea() {
  return atc.trainmode == kModeAutomatic || atc.trainmode == kModeSupervisedManual ||
         (atc.trainmode == kModeUnattended && atc.drivestate == kUnattendedArea);
}

inline bool ManualMode() {
  return atc.trainmode == kModeSupervisedManual || atc.trainmode == kModeRestrictedManual ||
         atc.trainmode == kModeReverse;
}

// Leaving the unattended area lands in the group of the location code.
inline int32_t GroupOutsideUnattendedArea() {
  return atc.trainlocation == kCodeUnattendedDepot ? kLocationGroup2 : kLocationGroup1;
}

// A square root with the power function's results at the edges: NaN below
// zero, and +inf for -inf.
double CurveRoot(double x);

// What an accepted start key and the unattended departure both do.
void BeginDeparture();

// The platform CCTV picture, shown within the station indications.
void UpdateCctv(const Frame& f);

// The steps of SetTargetSpeed, in frame order.
void SelectStopAndLimit(Frame& f);            // 1: dwell bookkeeping, stoppos, limspd
void ComputeCurveSpeed(Frame& f);             // 2
void ComputeTargetSpeed(Frame& f);            // 3
void ShowTargetSpeed(const Frame& f);         // 4
void DriveAutomatically(const Frame& f);      // 5
void ApplyModeRules(const Frame& f);          // 6
void ProtectOverrunAndDoors(const Frame& f);  // 7
void ExecuteStopBraking(const Frame& f);      // 8
void ShowStationIndications(const Frame& f);  // 9: CCTV, stop lamps, door sides
void ShowCab(const Frame& f);                 // 10
void LeaveUnattendedArea();                   // 11
