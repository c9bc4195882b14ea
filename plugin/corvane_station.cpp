// corvane: the station stop. Door events and the dwell countdown, the docked
// and platform-door lamps, the door sides and the stop without platform doors.
#include "channels.h"
#include "corvane_frame.h"
#include "tools.h"

namespace {

constexpr int32_t kMinimumDwellMs = 10000;   // from the first door event
constexpr double kStopWindow = 0.5;          // metres either side of thisstop
constexpr int32_t kNoDoorsReleaseMs = 1000;  // before the end of the dwell

bool AtUnattendedCode() {
  return atc.trainlocation == kCodeUnattendedDepot || atc.trainlocation == kCodeUnattendedExit;
}

void ShowStopLamps(const Frame& f) {
  const double d = atc.thisstop - f.location;
  if (-kStopWindow <= d && d <= kStopWindow && atc.drivestate != kUnattendedArea && !atc.startkey &&
      atc.doorsidelamp != 0) {
    atc.dokedlamp = true;
  }
  if (d < -kStopWindow || d > kStopWindow) {
    atc.dokedlamp = false;
    const bool leftManually = atc.trainmode != kModeAutomatic && atc.doordet;
    const bool leftUnattended = atc.trainmode == kModeUnattended &&
                                atc.drivestate == kUnattendedArea && !AtUnattendedCode();
    if (leftManually || leftUnattended) {
      atc.doordet = false;
      atc.psdlamp = false;
    }
  }
  if (atc.doorsidelamp == 0) atc.dokedlamp = false;
  if (!atc.door && atc.doordet && atc.doorsidelamp != 0 && atc.dokedlamp) atc.psdlamp = true;
  SetPanel(panel::kDockedLamp, atc.dokedlamp);
  SetPanel(panel::kPlatformDoorLamp, atc.psdlamp);
  SetPanel(panel::kDoorsOpenSideMinus, atc.doorsidelamp == -1 && atc.door);
  SetPanel(panel::kDoorsOpenSidePlus, atc.doorsidelamp == +1 && atc.door);
}

// Without platform doors the dwell phase is dropped at once, but the train
// stays braked to thisstop until shortly before the end of the dwell.
void CheckStopWithoutPlatformDoors(const Frame& f) {
  if (atc.doorsidelamp == 0 && WrapSub(atc.dwelltime, f.time) > kNoDoorsReleaseMs &&
      !AtUnattendedCode()) {
    SetPanel(panel::kNoPlatformDoors, 1);
    atc.dwell = kDwellNone;
    atc.proceedsound = false;
  } else {
    SetPanel(panel::kNoPlatformDoors, 0);
  }
}

}  // namespace

void CheckDoor(bool open) {
  const int32_t now = gState.time;
  atc.door = open;
  atc.doordet = true;
  atc.doorbrake = true;
  if (gState.speed > 0) atc.stopbrake = kStopService;
  if (atc.trainlocation == kCodeUnattendedDepot) atc.drivestate = kUnattendedArea;
  if (atc.dwell == kDwellAnnounced) {
    atc.dwelltime = WrapSub(atc.proceedtime, now) > kMinimumDwellMs - 1
                        ? atc.proceedtime
                        : WrapAdd(now, kMinimumDwellMs);
    atc.dwell = kDwelling;
  }
  if (!atc.door && atc.doorbrake) {
    gHandles.brake = kBrakeHolding;
    gHandles.power = 0;
    atc.doorbrake = false;
  }
}

void ShowStationIndications(const Frame& f) {
  UpdateCctv(f);
  ShowStopLamps(f);
  CheckStopWithoutPlatformDoors(f);
}
