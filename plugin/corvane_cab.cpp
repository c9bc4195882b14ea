// corvane: the cab indications. Target speed and its digits, messages, run
// number and destination, the target-display cover, the distance display,
// the platform CCTV picture and the mirrored outputs.
#include <algorithm>

#include "channels.h"
#include "corvane_frame.h"
#include "tools.h"

namespace {

constexpr double kReadyMinTarget = 10.0;  // km/h
constexpr double kReadyMaxSpeed = 2.0;    // km/h, either direction
constexpr int32_t kUnattendedNoticeMs = 3500;
constexpr int32_t kLongDwellMs = 3600000;
constexpr int32_t kCoverShowMs = 4000;
constexpr int32_t kLongDwellSeconds = 3600;
constexpr double kNextStopZone = 23.0;   // metres before nextstop
constexpr double kThisStopZone = -11.0;  // metres beyond thisstop
constexpr double kKilometreForm = 1000.0;
constexpr double kDistanceShown = 999999.0;  // 999.9 km, the widest reading

constexpr double kPowersOfTen[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};

// The k-th decimal place of x, truncated toward zero.
int32_t Digit(double x, int k) {
  return TruncToInt32(x / kPowersOfTen[k] - 10 * TruncToward0(x / kPowersOfTen[k + 1]));
}

// The place shows the k-th digit once x reaches it, else the blank code.
int32_t PlaceOrBlank(double x, int k, int32_t blank) {
  return x / kPowersOfTen[k] >= 1 ? Digit(x, k) : blank;
}

int32_t SecondsOfDwellLeft(int32_t time) { return atc.dwelltime / 1000 - time / 1000; }

void ShowTargetDigits(const Frame& f) {
  if (f.time > atc.targettime) atc.targettime = 0;
  int32_t hundreds = kTargetDigitBlank, tens = kTargetDigitBlank, units = kTargetDigitBlank;
  if (SupervisedInArea() && (atc.braking || atc.targettime > 0)) {
    const double x = atc.finalspd;
    hundreds = x / 100 >= 1 ? TruncToInt32(x / 100) : kTargetDigitBlank;
    tens = PlaceOrBlank(x, 1, kTargetDigitBlank);
    units = PlaceOrBlank(x, 0, kTargetDigitBlank);
  }
  SetPanel(panel::kTargetDigitHundreds, hundreds);
  SetPanel(panel::kTargetDigitTens, tens);
  SetPanel(panel::kTargetDigitUnits, units);
}

bool ReadyToDepart(const Frame& f) {
  return atc.stopbrake == kStopNone && !DwellPending(f.time) && atc.tagspd > kReadyMinTarget &&
         -kReadyMaxSpeed < f.v && f.v < kReadyMaxSpeed && SupervisedInArea();
}

void UpdateMessage(const Frame& f) {
  if (f.time < atc.ebtime) {
    atc.information = kMessageBrakeNotice;
  } else if (ReadyToDepart(f)) {
    if (atc.drivestate == kUnattendedArea && f.v == 0 && !atc.startkey) {
      atc.information =
          atc.trainlocation == kCodeUnattendedDepot ? kMessageReadyGroup2 : kMessageReadyGroup1;
    } else {
      atc.information = atc.drivestate;
    }
  } else if (atc.doorsidelamp == 0 && DwellPending(f.time) &&
             atc.trainlocation != kCodeUnattendedDepot &&
             atc.trainlocation != kCodeUnattendedExit) {
    atc.information = kMessageNoPlatformDoors;
  } else if (atc.information != kMessageUnattendedRunning) {
    atc.information = kMessageNone;
  }
  // An unattended run that ends by opening the doors gives the brake notice.
  if (atc.information == kMessageUnattendedRunning && atc.drivestate != kUnattendedArea &&
      atc.door) {
    atc.ebtime = WrapAdd(f.time, kUnattendedNoticeMs);
    atc.information = kMessageNone;
  }
}

void ShowTrainInformation(const Frame& f) {
  SetPanel(panel::kMessage, atc.information);
  SetPanel(panel::kAlwaysZero, 0);
  SetPanel(panel::kTerminus, atc.terminus);
  const bool longUnattendedDwell =
      atc.trainmode == kModeUnattended &&
      !(atc.drivestate == kUnattendedArea && atc.information == kMessageUnattendedRunning) &&
      atc.dwell == kDwelling && WrapSub(atc.dwelltime, f.time) > kLongDwellMs;
  SetPanel(panel::kRunNumber, longUnattendedDwell ? 0 : atc.run);
  SetPanel(panel::kCarsLessOne, WrapSub(gTrainspecs.carCount, 1));
}

void ShowTargetCover(const Frame& f) {
  const int32_t s = SecondsOfDwellLeft(f.time);
  const int32_t code = atc.trainlocation;
  if (code != kCodeUnattendedStart && code != kCodeUnattendedExit) {
    if ((atc.dwell == kDwelling && atc.targetcover == kCoverNotShown && atc.door) ||
        (atc.door && s > kLongDwellSeconds)) {
      atc.targetcovertime = WrapAdd(f.time, kCoverShowMs);
      SetPanel(panel::kTargetCover, 1);
      atc.targetcover = kCoverShown;
    }
  } else if (atc.door && s > kLongDwellSeconds && code == kCodeUnattendedStart) {
    SetPanel(panel::kTargetCover, 1);
  } else {
    SetPanel(panel::kTargetCover, PanelValue(panel::kNoPlatformDoors) == 1 ? 1 : 0);
  }
  if (atc.doorsidelamp == 0 && WrapSub(atc.dwelltime, f.time) <= 1000 &&
      PanelValue(panel::kTargetCover) == 1) {
    SetPanel(panel::kTargetCover, 0);
  }
  if (atc.targetcover == kCoverShown && f.time > atc.targetcovertime && s < kLongDwellSeconds) {
    SetPanel(panel::kTargetCover, 0);
    atc.targetcover = kCoverDone;
  }
}

double DistanceShown(const Frame& f) {
  double x = f.location <= f.stoppos ? (f.stoppos - f.location) + 0.9 : f.location - f.stoppos;
  if (atc.dwell == kDwelling) x = SecondsOfDwellLeft(f.time);
  if (atc.braking && SupervisedInArea()) x = (atc.decdis - f.location) + 1.0;
  // A negative or unknown distance reads 0; beyond the widest reading it saturates.
  if (!(x > 0)) return 0;
  return std::min(x, kDistanceShown);
}

void ShowDistance(const Frame& f) {
  const double x = DistanceShown(f);
  int32_t places[panel::kDistancePlaces];
  int32_t unit;
  if (x >= kKilometreForm) {
    places[0] = PlaceOrBlank(x, 5, kDistanceBlank);
    places[1] = PlaceOrBlank(x, 4, kDistanceBlank);
    places[2] = PlaceOrBlank(x, 3, kDistanceBlank);
    places[3] = kDistanceKilometreSymbol;
    places[4] = Digit(x, 2);
    unit = kUnitKilometres;
  } else {
    for (int i = 0; i < 4; ++i) places[i] = PlaceOrBlank(x, 4 - i, kDistanceBlank);
    places[4] = Digit(x, 0);
    unit = atc.dwell == kDwelling ? kUnitSeconds : kUnitMetres;
  }
  for (int i = 0; i < panel::kDistancePlaces; ++i)
    SetPanel(panel::kDistanceFirstPlace + i, places[i]);
  SetPanel(panel::kDistanceUnit, unit);
}

void MirrorState() {
  SetPanel(panel::kDriveState, atc.drivestate);
  SetPanel(panel::kTargetCoverState, atc.targetcover);
  SetPanel(panel::kPowerNotch, gHandles.power);
  SetPanel(panel::kBrakeNotch, gHandles.brake);
  SetPanel(panel::kTrainMode, atc.trainmode);
  SetPanel(panel::kCctv, atc.cctv);
}

}  // namespace

void ShowTargetSpeed(const Frame&) {
  SetPanel(panel::kTargetSpeed, TargetSupervised() ? TruncToInt32(atc.tagspd) : 0);
}

void UpdateCctv(const Frame& f) {
  const bool inStationZone =
      atc.nextstop - f.location <= kNextStopZone || atc.thisstop - f.location >= kThisStopZone;
  if (inStationZone && atc.trainmode != kModeUnattended && atc.doorsidelamp != 0) {
    atc.cctv = kCctvAutomatic;
    atc.cctvmode = kCctvModeAutomatic;
  } else if (atc.cctvmode == kCctvModeAutomatic) {
    atc.cctv = kCctvOff;
    atc.cctvmode = kCctvModeOff;
  }
}

void ShowCab(const Frame& f) {
  ShowTargetDigits(f);
  UpdateMessage(f);
  ShowTrainInformation(f);
  ShowTargetCover(f);
  ShowDistance(f);
  MirrorState();
}
