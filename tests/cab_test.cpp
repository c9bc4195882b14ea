// The cab as the driver sees it: driving modes and their keys, the cab keys
// and CCTV, the target-speed digits, the distance display and the train's
// information panels.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "channels.h"
#include "corvane_frame.h"
#include "test_line.h"

namespace {

constexpr double kStop = 2000;

class Modes : public PluginTest {
 protected:
  Modes() {
    ReadyAtStart(host, kModeAutomatic, 60, kStop);
    host.moving = false;
  }
};

TEST_F(Modes, StepUpAndDownOnlyAtAStandWithTheBrakeAtEight) {
  const struct {
    int32_t brake;
    float speed;
    int32_t key, before, after;
  } cases[] = {{8, 0, 2, 0, 0}, {8, 0, 1, 0, 1},    {8, 0, 1, 3, 4},    {8, 0, 1, 4, 5},
               {8, 0, 1, 5, 5}, {7, 0, 2, 5, 5},    {8, 0.1f, 2, 5, 5}, {8, 0, 2, 5, 4},
               {8, 0, 2, 4, 3}, {8, -0.1f, 1, 2, 2}};
  for (const auto& c : cases) {
    atc.trainmode = c.before;
    atc.cctv = kCctvManual;
    host.SetBrake(c.brake);
    gState.speed = c.speed;
    host.ClearSounds();
    host.PressKey(c.key);
    EXPECT_EQ(atc.trainmode, c.after) << c.before << " key " << c.key << " brake " << c.brake;
    EXPECT_EQ(host.sound[sound::kModeChange], c.after != c.before ? 1 : 0);
    const bool toUnattended = c.before == kModeReverse && c.after == kModeUnattended;
    EXPECT_EQ(host.sound[sound::kToUnattendedMode], toUnattended ? 1 : 0);
    EXPECT_EQ(atc.cctv, toUnattended ? kCctvOff : kCctvManual);
  }
  atc.trainmode = kModeReverse;
  EXPECT_EQ(host.Frame().reverser, -1);
  EXPECT_EQ(host.panel[panel::kTrainMode], kModeReverse);
}

TEST_F(Modes, FixedOutputsWhateverTheDriverDoes) {
  atc.trainmode = kModeBrakeHold;
  host.SetPower(5);
  host.SetBrake(0);
  ATS_HANDLES h = host.Frame();
  EXPECT_EQ(h.power, 0);
  EXPECT_EQ(h.brake, kBrakeFullService);
  EXPECT_EQ(h.reverser, 1);

  atc.trainmode = kModeUnattended;  // held: outside the unattended area
  h = host.Frame();
  EXPECT_EQ(h.brake, kBrakeEmergency);
  EXPECT_EQ(host.panel[panel::kTargetSpeed], 0);
  host.OpenDoors();
  EXPECT_EQ(host.Frame().brake, kBrakeHolding);
  EXPECT_EQ(host.handles.power, 0);
}

TEST_F(Modes, HandlesReachTheOutputsOnlyInTheManualModes) {
  host.SetPower(3);
  EXPECT_EQ(host.Frame().power, 0);  // automatic: the train control drives

  atc.trainmode = kModeRestrictedManual;
  host.SetBrake(0);
  host.SetPower(3);
  ATS_HANDLES h = host.Frame();
  EXPECT_EQ(h.power, 3);
  EXPECT_EQ(h.brake, 0);
  host.SetReverser(0);  // any reverser move is a service stop
  EXPECT_EQ(host.Frame().brake, kBrakeFullService);
  EXPECT_EQ(atc.stopbrake, kStopNone);
  EXPECT_EQ(host.Frame().brake, kBrakeFullService);  // until the next handle call
  host.SetBrake(1);
  EXPECT_EQ(host.Frame().brake, 1);
}

TEST_F(Modes, StartKeyIsRefusedUnlessEverythingIsReady) {
  const std::vector<void (*)(TrainHost&)> spoilers = {
      [](TrainHost&) { atc.trainmode = kModeSupervisedManual; },
      [](TrainHost& h) { h.state.speed = 0.1f; },
      [](TrainHost& h) { h.OpenDoors(); },
      [](TrainHost&) { atc.maxspd = 4.0; },
      [](TrainHost&) { atc.drivestate = kUnattendedArea; },
      [](TrainHost& h) { h.SetBrake(9); },
  };
  for (size_t i = 0; i < spoilers.size(); ++i) {
    atc = AtcState{};
    ReadyAtStart(host, kModeAutomatic, 60, kStop);
    host.moving = false;
    // Before the frame for what it reads, after it for what it resets.
    spoilers[i](host);
    host.Frame();
    spoilers[i](host);
    host.sound[sound::kStartKeyDown] = 0;
    host.KeyDown(0);
    EXPECT_EQ(host.sound[sound::kStartKeyDown], 1) << i;
    EXPECT_FALSE(atc.startkey) << i;
  }
}

TEST_F(Modes, CabKeysSoundByDoorState) {
  const struct {
    int32_t key, doorsClosed, doorsOpen;
  } keys[] = {
      {5, sound::kKey5, sound::kKey5},
      {6, sound::kKey6, sound::kKey6},
      {7, sound::kKey7DoorsClosed, sound::kKey7DoorsOpen},
      {8, sound::kKey8, sound::kKey8},
      {9, sound::kKey9DoorsClosed, sound::kKey9DoorsOpen},
  };
  for (bool open : {false, true}) {
    if (open) host.OpenDoors();
    for (const auto& k : keys) {
      host.ClearSounds();
      host.PressKey(k.key);
      EXPECT_EQ(host.sound[sound::kSwitchClick], 1) << k.key;
      EXPECT_EQ(host.sound[open ? k.doorsOpen : k.doorsClosed], 1) << k.key;
      EXPECT_EQ(std::count(std::begin(host.sound), std::end(host.sound), 1), 2) << k.key;
    }
  }
}

TEST_F(Modes, CctvKeyTogglesTheManualPictureOutsideTheStationZone) {
  host.Beacon(kBeaconStoppingPoint, StoppingPoints(kStop, 3000));
  host.Frame();
  EXPECT_EQ(host.panel[panel::kCctv], kCctvAutomatic);  // before the stopping point
  host.PressKey(10);
  EXPECT_EQ(atc.cctv, kCctvAutomatic);

  host.state.location = 2500;
  host.Frame();
  EXPECT_EQ(host.panel[panel::kCctv], kCctvOff);
  host.PressKey(10);
  EXPECT_EQ(host.Frame().brake, kBrakeHolding);
  EXPECT_EQ(host.panel[panel::kCctv], kCctvManual);
  host.PressKey(10);
  host.Frame();
  EXPECT_EQ(host.panel[panel::kCctv], kCctvOff);
  atc.trainmode = kModeUnattended;
  host.PressKey(10);
  EXPECT_EQ(atc.cctv, kCctvOff);
}

// The station zone: up to 11 m beyond this stop, or within 23 m of the next one.
TEST_F(PluginTest, CctvZoneAroundTheStops) {
  const struct {
    double location;
    int32_t mode, doorside, cctv;
  } cases[] = {
      {2977, kModeAutomatic, 1, kCctvAutomatic}, {2976.9, kModeAutomatic, 1, kCctvOff},
      {2011, kModeAutomatic, 1, kCctvAutomatic}, {2011.1, kModeAutomatic, 1, kCctvOff},
      {2977, kModeUnattended, 1, kCctvOff},      {2977, kModeAutomatic, 0, kCctvOff},
  };
  for (const auto& c : cases) {
    atc.thisstop = 2000;
    atc.nextstop = 3000;
    atc.trainmode = c.mode;
    atc.doorsidelamp = c.doorside;
    atc.cctvmode = kCctvModeAutomatic;
    UpdateCctv(Frame{c.location, 0, 0});
    EXPECT_EQ(atc.cctv, c.cctv) << c.location;
  }
}

TEST_F(Modes, KeysOutsideTheirRangesChangeNothing) {
  const AtcState before = atc;
  host.ClearSounds();
  for (int32_t key : {-1, 3, 11, 14, 16, 1000, INT_MIN, INT_MAX}) host.PressKey(key);
  EXPECT_EQ(atc.trainmode, before.trainmode);
  EXPECT_EQ(atc.stopbrake, before.stopbrake);
  for (int i = 0; i < kChannelCount; ++i) {
    if (i != 13) EXPECT_EQ(host.sound[i], 0) << i;  // 13: the wiper switch may share keys
  }
}

class Cab : public PluginTest {
 protected:
  // Standing in a mode with the doors closed.
  void StandIn(int32_t mode) {
    ReadyAtStart(host, mode, 60, kStop);
    host.moving = false;
  }
  std::vector<int32_t> Panels(int first, int count) const {
    return std::vector<int32_t>(gPanel + first, gPanel + first + count);
  }
  std::vector<int32_t> Distance() const { return Panels(panel::kDistanceFirstPlace, 6); }
};

using Places = std::vector<int32_t>;

TEST_F(Cab, TargetSpeedTruncatesAndIsShownOnlyWhereSupervised) {
  StandIn(kModeSupervisedManual);
  atc.maxspd = 45.9;
  host.Frame();
  EXPECT_EQ(host.panel[panel::kTargetSpeed], 45);
  for (int32_t mode : {kModeRestrictedManual, kModeBrakeHold, kModeReverse, kModeUnattended}) {
    atc.trainmode = mode;
    host.Frame();
    EXPECT_EQ(host.panel[panel::kTargetSpeed], 0) << mode;
  }
}

TEST_F(Cab, AnnouncedSpeedDigitsWithBlanks) {
  StandIn(kModeSupervisedManual);
  const auto digits = [&] { return Panels(panel::kTargetDigitHundreds, 3); };
  host.Beacon(kBeaconDrivingOption, 65);
  host.Frame();
  EXPECT_EQ(digits(), (Places{10, 6, 5}));
  host.RunFor(0.2);  // shown for 150 ms
  EXPECT_EQ(digits(), (Places{10, 10, 10}));
  host.Beacon(kBeaconDrivingOption, 120);
  host.Frame();
  EXPECT_EQ(digits(), (Places{1, 2, 0}));
  atc.targettime = host.state.time + 1000;
  atc.finalspd = 0;
  host.Frame();
  EXPECT_EQ(digits(), (Places{10, 10, 10}));
  atc.trainmode = kModeRestrictedManual;
  host.Beacon(kBeaconDrivingOption, 65);
  host.Frame();
  EXPECT_EQ(digits(), (Places{10, 10, 10}));
}

// Six places: four digits or blanks (11) and a last digit in metres or
// seconds, or three digits, the point (10) and tenths in kilometres.
TEST_F(Cab, DistanceDisplay) {
  const int32_t m = kUnitMetres, km = kUnitKilometres, sec = kUnitSeconds;
  const struct {
    double location;
    int32_t dwellLeftMs, time;
    Places shown;
  } cases[] = {
      {kStop - 0.05, 0, 0, {11, 11, 11, 11, 0, m}}, {kStop + 0.2, 0, 0, {11, 11, 11, 11, 0, m}},
      {kStop - 56.4, 0, 0, {11, 11, 11, 5, 7, m}},  {kStop - 999, 0, 0, {11, 11, 9, 9, 9, m}},
      {kStop - 2500, 0, 0, {11, 11, 2, 10, 5, km}}, {kStop - 123456, 0, 0, {1, 2, 3, 10, 4, km}},
      {-1e12, 0, 0, {9, 9, 9, 10, 9, km}},          {NAN, 0, 0, {11, 11, 11, 11, 0, m}},
      {INFINITY, 0, 0, {9, 9, 9, 10, 9, km}},       {kStop, 37500, 0, {11, 11, 11, 3, 7, sec}},
      {kStop, 37500, 600, {11, 11, 11, 3, 8, sec}}, {kStop, 3000000, 0, {11, 11, 3, 10, 0, km}},
  };
  for (const auto& c : cases) {
    atc.dwell = c.dwellLeftMs > 0 ? kDwelling : kDwellNone;
    atc.dwelltime = kEightAm + c.time + c.dwellLeftMs;
    ShowCab(Frame{c.location, 0, kEightAm + c.time, kStop});
    EXPECT_EQ(Distance(), c.shown) << c.location << " " << c.dwellLeftMs;
  }
  // Along a braking curve the automatic modes show the distance to its end.
  atc.dwell = kDwellNone;
  atc.trainmode = kModeAutomatic;
  atc.braking = true;
  atc.decdis = 1500;
  ShowCab(Frame{1000, 0, 0, kStop});
  EXPECT_EQ(Distance(), (Places{11, 11, 5, 0, 1, m}));
}

TEST_F(Cab, TrainInformationPanels) {
  host.Start(0, ATS_VEHICLESPEC{8, 5, 2, 3, 8});
  host.moving = false;
  host.Beacon(kBeaconLocation, 12);
  host.Beacon(kBeaconRunNumber, 12345);
  host.Frame();
  EXPECT_EQ(Panels(panel::kMessage, 5), (Places{kMessageNone, 0, 12, 345, 7}));
  // A long dwell in unattended mode hides the run number.
  atc.dwell = kDwelling;
  atc.dwelltime = host.state.time + 3600001 + TrainHost::kFrameMs;
  host.Frame();
  EXPECT_EQ(host.panel[panel::kRunNumber], 0);
  atc.trainmode = kModeRestrictedManual;
  host.Frame();
  EXPECT_EQ(host.panel[panel::kRunNumber], 345);
}

TEST_F(Cab, EndOfFrameMirrorsTheOutputs) {
  StandIn(kModeRestrictedManual);
  host.SetBrake(3);
  host.SetPower(2);
  host.Frame();
  EXPECT_EQ(host.panel[panel::kPowerNotch], 2);
  EXPECT_EQ(host.panel[panel::kBrakeNotch], 3);
  EXPECT_EQ(host.panel[panel::kDriveState], atc.drivestate);
  EXPECT_EQ(host.panel[panel::kTrainMode], kModeRestrictedManual);
  EXPECT_EQ(host.panel[panel::kTargetCoverState], kCoverNotShown);
}

// The message panel's choice, one frame of the cab step at a time.
TEST_F(PluginTest, MessageByReadinessNoticeAndPlatform) {
  constexpr int32_t kNow = 10000;
  const struct {
    int32_t drivestate, code;
    double v, tagspd;
    bool startkey;
    int32_t ebtime, doorside, dwelltime, before, message;
  } cases[] = {
      {1, 12, 0, 60, false, kNow + 1, 1, 0, 0, kMessageBrakeNotice},
      {1, 12, 0, 60, false, kNow, 1, 0, 0, kMessageReadyGroup1},
      {2, 12, 1.9, 60, false, 0, 1, 0, 0, kMessageReadyGroup2},
      {3, 28, 0, 60, false, 0, 1, 0, 0, kMessageReadyGroup2},
      {3, 10, 0, 60, false, 0, 1, 0, 0, kMessageReadyGroup1},
      {3, 10, 0, 60, true, 0, 1, 0, 0, kMessageUnattendedRunning},
      {3, 10, 0.5, 60, false, 0, 1, 0, 0, kMessageUnattendedRunning},
      {1, 12, 2, 60, false, 0, 1, 0, 4, kMessageNone},
      {1, 12, 0, 10, false, 0, 1, 0, 4, kMessageNone},
      {1, 12, 0, 60, false, 0, 0, kNow + 1, 0, kMessageNoPlatformDoors},
      {1, 28, 0, 60, false, 0, 0, kNow + 1, 0, kMessageNone},
      {1, 29, 0, 60, false, 0, 0, kNow + 1, 0, kMessageNone},
      {3, 12, 30, 60, false, 0, 1, 0, kMessageUnattendedRunning, kMessageUnattendedRunning},
  };
  for (const auto& c : cases) {
    atc = AtcState{};
    atc.trainmode = kModeAutomatic;
    atc.door = false;
    atc.drivestate = c.drivestate;
    atc.trainlocation = c.code;
    atc.tagspd = c.tagspd;
    atc.startkey = c.startkey;
    atc.ebtime = c.ebtime;
    atc.doorsidelamp = c.doorside;
    atc.dwelltime = c.dwelltime;
    atc.information = c.before;
    ShowCab(Frame{1000, c.v, kNow});
    EXPECT_EQ(atc.information, c.message) << c.drivestate << " " << c.code << " " << c.v;
  }
  // An unattended run ended by opening the doors outside the area: the notice.
  atc.drivestate = kLocationGroup1;
  atc.door = true;
  ShowCab(Frame{1000, 30, kNow});
  EXPECT_EQ(atc.information, kMessageNone);
  EXPECT_EQ(atc.ebtime, kNow + 3500);
}

TEST_F(PluginTest, BrakeHandleRequestsStopsInTheDrivenModes) {
  const struct {
    int32_t mode, drivestate, notch, stopbrake;
  } cases[] = {
      {kModeAutomatic, 1, 9, kStopEmergency},   {kModeAutomatic, 1, 8, kStopNone},
      {kModeAutomatic, 1, 7, kStopService},     {kModeAutomatic, 1, 0, kStopService},
      {kModeUnattended, 3, 9, kStopEmergency},  {kModeUnattended, 3, 6, kStopNone},
      {kModeUnattended, 3, 5, kStopService},    {kModeUnattended, 1, 5, kStopNone},
      {kModeSupervisedManual, 1, 0, kStopNone},
  };
  for (const auto& c : cases) {
    atc.trainmode = c.mode;
    atc.drivestate = c.drivestate;
    atc.stopbrake = kStopNone;
    SetBrakeHandle(c.notch);
    EXPECT_EQ(atc.stopbrake, c.stopbrake) << c.mode << " notch " << c.notch;
    EXPECT_EQ(atc.modeinterlock, c.notch == 8);
  }
}

// The target cover: shown for 4 s after the doors open at a dwell, or while
// more than an hour is left; the unattended codes follow their own rules.
TEST_F(PluginTest, TargetCoverOverTheDwell) {
  constexpr int32_t kNow = 100000;
  const struct {
    int32_t code, dwell, coverBefore;
    bool door;
    int32_t secondsLeft, coverTime, doorside, noDoors, panelBefore, shown, coverAfter;
  } cases[] = {
      {12, kDwelling, kCoverNotShown, true, 30, 0, 1, 0, 0, 1, kCoverShown},
      {12, kDwelling, kCoverShown, true, 30, kNow - 1, 1, 0, 1, 0, kCoverDone},
      {12, kDwelling, kCoverShown, true, 30, kNow, 1, 0, 1, 1, kCoverShown},
      {12, kDwellNone, kCoverNotShown, true, 3601, 0, 1, 0, 0, 1, kCoverShown},
      {12, kDwellNone, kCoverShown, true, 3600, kNow - 1, 1, 0, 1, 1, kCoverShown},
      {12, kDwelling, kCoverNotShown, false, 30, 0, 1, 0, 0, 0, kCoverNotShown},
      {10, kDwellNone, kCoverNotShown, true, 3601, 0, 1, 0, 0, 1, kCoverNotShown},
      {10, kDwelling, kCoverNotShown, true, 30, 0, 1, 0, 1, 0, kCoverNotShown},
      {29, kDwelling, kCoverNotShown, true, 3601, 0, 1, 1, 0, 1, kCoverNotShown},
      {29, kDwelling, kCoverNotShown, true, 1, 0, 0, 1, 0, 0, kCoverNotShown},
      {29, kDwelling, kCoverNotShown, true, 2, 0, 0, 1, 0, 1, kCoverNotShown},
  };
  for (const auto& c : cases) {
    atc = AtcState{};
    atc.trainlocation = c.code;
    atc.dwell = c.dwell;
    atc.targetcover = c.coverBefore;
    atc.targetcovertime = c.coverTime;
    atc.door = c.door;
    atc.dwelltime = kNow + c.secondsLeft * 1000;
    atc.doorsidelamp = c.doorside;
    gPanel[panel::kNoPlatformDoors] = c.noDoors;
    gPanel[panel::kTargetCover] = c.panelBefore;
    ShowCab(Frame{1000, 0, kNow});
    EXPECT_EQ(gPanel[panel::kTargetCover], c.shown) << c.code << " " << c.secondsLeft;
    EXPECT_EQ(atc.targetcover, c.coverAfter) << c.code << " " << c.secondsLeft;
    if (c.coverBefore == kCoverNotShown && c.coverAfter == kCoverShown) {
      EXPECT_EQ(atc.targetcovertime, kNow + 4000);
    }
  }
}

}  // namespace
