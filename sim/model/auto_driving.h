// Automatic driving as the host reads the plug-in's tables: the notches its
// automatic mode chooses each frame, for forecasts made without the plug-in.
// Re-braking is left out.
#pragma once

#include "atsplugin.h"

namespace auto_driving {

// The driving option's holding styles.
enum Holding { kNormal = 0, kConstantSpeed = 1, kBrakeHold = 2 };

// The power notch automatic driving runs with at a speed, `deficit` km/h
// below its target (negative above it); `held` under constant-speed holding.
int PowerNotch(double kmh, double deficit, bool held = false);

// The brake notch along a braking curve of `decel` m/s², `deficit` km/h
// below its target; `holds` where the table has none.
int CurveBrakingNotch(double decel, double deficit, int holds);

// What automatic driving reads in a frame.
struct View {
  double kmh;
  double target;      // the cab's target, km/h
  double curveDecel;  // m/s² of a braking curve that runs; 0 when none does
  bool stopping;      // the stopping curve governs the target
  int style;          // the final-braking style in force
  double toStop;      // m to the stopping point aimed at
  bool curveEnds;     // it ends in this frame: its brake released, resumed powering then tested
  double location;    // m, the train's front
  double neutral;     // m where the last neutral section began: 0 until a beacon moves it
};

class Driving {
 public:
  // An accepted start key: the start ramp runs.
  void StartKey() { startKey_ = powering_ = true; }
  // A train met running under its target: powering, the brake released.
  void Running() {
    powering_ = true;
    h_.brake = 0;
  }
  // A braking beacon: power off until powering resumes.
  void BrakingBeacon() {
    powering_ = false;
    h_.power = 0;
  }
  // A driving-option beacon's holding style, until the final braking.
  void Hold(int holding) { holding_ = holding; }
  // The handles for this frame: the entry rules, the first case that
  // matches, resumed powering, the holding, then the start ramp.
  ATS_HANDLES Frame(const View& v);

 private:
  void Case(const View& v);
  void BrakeHolding(double deficit);
  void ConstantSpeed(double over);
  bool startKey_ = false, powering_ = false;
  int holding_ = kNormal;
  ATS_HANDLES h_{7, 0, 1, 0};
};

}  // namespace auto_driving
