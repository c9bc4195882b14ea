// corvane: the speed profile. The stopping point and limit of the frame, the
// curve speed (beacon braking curve or stopping curve) and the target speed.
#include "channels.h"
#include "corvane_frame.h"
#include "corvane_tables.h"

namespace {

constexpr double kStopApproachWindow = 0.2;  // metres before thisstop

void HoldAtStopWithinDwell(Frame& f) {
  atc.finalsound = kChimeDisarmed;
  f.limspd = 0;
  atc.startkey = false;
  if (atc.dwell == kDwelling || PanelValue(panel::kNoPlatformDoors) == 1) {
    gHandles.power = 0;
    gHandles.brake = kBrakeHolding;
  }
}

void EndDwell(Frame& f) {
  atc.finbaksty = atc.finbak;
  if (atc.finalsound == kChimeDisarmed) atc.finalsound = kChimeArmed;
  f.stoppos = atc.nextstop;
  f.limspd = atc.maxspd;
  if (atc.proceedsound) {
    PlaySound(sound::kChime);
    atc.proceedsound = false;
  }
  atc.dwell = kDwellNone;
  atc.targetcover = kCoverNotShown;
  atc.dwelltime = 0;
}

}  // namespace

void SelectStopAndLimit(Frame& f) {
  f.limspd = 0;
  f.stoppos = atc.thisstop;
  if (!DwellPending(f.time)) {
    EndDwell(f);
    return;
  }
  const double toStop = atc.thisstop - f.location;
  if (toStop > kStopApproachWindow) f.limspd = atc.maxspd;
  if (toStop <= kStopApproachWindow || atc.dwell == kDwelling) HoldAtStopWithinDwell(f);
}

void ComputeCurveSpeed(Frame& f) {
  if (atc.braking) {
    const double vf = atc.finalspd / 3.6;
    const double dist = atc.decdis - f.location;
    f.curvespd = 3.6 * CurveRoot(vf * vf - (atc.dec + atc.dec) * dist);
    return;
  }
  const StoppingCurve& curve = StoppingCurveFor(atc.finbaksty);
  atc.dec = curve.dec;
  double dist = (f.stoppos - f.location) + curve.offset;
  if (dist < 0) dist = f.location - f.stoppos;  // beyond the zero point: the overrun
  f.curvespd = 3.6 * CurveRoot(atc.dec * -2.0 * dist);
}

void ComputeTargetSpeed(Frame& f) {
  if (f.curvespd == 0 && f.time < atc.proceedtime) f.limspd = 0;
  atc.tagspd = CurveGoverns(f) ? f.curvespd : f.limspd;
}
