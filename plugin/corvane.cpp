// corvane: the train-control state and the frame as the sequence of its steps.
#include <cmath>
#include <limits>

#include "corvane_frame.h"

AtcState atc;

double CurveRoot(double x) {
  if (x == -std::numeric_limits<double>::infinity()) return std::numeric_limits<double>::infinity();
  return std::sqrt(x);
}

void BeginDeparture() {
  atc.startkey = true;
  atc.powering = true;
  atc.braking = false;
  atc.dokedlamp = false;
  atc.psdlamp = false;
  atc.doordet = false;
}

void SetTargetSpeed(float) {
  Frame f{gState.location, gState.speed, gState.time};
  SelectStopAndLimit(f);
  ComputeCurveSpeed(f);
  ComputeTargetSpeed(f);
  ShowTargetSpeed(f);
  DriveAutomatically(f);
  ApplyModeRules(f);
  ProtectOverrunAndDoors(f);
  ExecuteStopBraking(f);
  ShowStationIndications(f);
  ShowCab(f);
  LeaveUnattendedArea();
}
