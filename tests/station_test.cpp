// Station stops as a host drives them: the approach, doors and dwell, the
// chimes and lamps and the departure; then the door and dwell rules at their
// edges.
#include <gtest/gtest.h>

#include "channels.h"
#include "corvane_frame.h"
#include "test_line.h"

namespace {

constexpr double kStation = 2000;
constexpr double kNextStation = 3000;
constexpr int32_t kDeparture = kEightAm + 150 * 1000;  // 8:02:30

// Speed limit 60 and the departure time as seconds of the day.
constexpr int32_t StationBeacon(int32_t departureMs) { return 60 * 100000 + departureMs / 1000; }

class StationStop : public PluginTest {
 protected:
  // A line with one station between the start and the next stop.
  void LayOutLine(int32_t mode, int32_t locationCode) {
    ReadyAtStart(host, mode, 60, kStation, locationCode);
    host.AddBeacon(1500, kBeaconStation, StationBeacon(kDeparture));
    host.AddBeacon(1600, kBeaconStoppingPoint, StoppingPoints(kStation, kNextStation));
  }
};

TEST_F(StationStop, AutomaticStopDwellAndDepartureByTheStartKey) {
  LayOutLine(kModeAutomatic, 12);
  host.KeyDown(0);
  ASSERT_TRUE(host.RunUntil([&] { return atc.dwell == kDwellAnnounced; }, 200));
  ASSERT_TRUE(host.RunUntil([&] { return host.Stopped(); }, 200));
  host.RunFor(1);
  EXPECT_NEAR(host.state.location, kStation, 0.5);
  EXPECT_EQ(host.handles.brake, kBrakeHolding);
  EXPECT_EQ(host.panel[panel::kDockedLamp], 1);
  EXPECT_EQ(host.panel[panel::kPlatformDoorLamp], 0);

  host.OpenDoors();
  const int32_t opened = host.state.time;
  EXPECT_EQ(atc.dwell, kDwelling);
  EXPECT_EQ(atc.dwelltime, kDeparture);
  host.Frame();
  EXPECT_EQ(host.panel[panel::kDoorsOpenSideMinus], 1);
  EXPECT_EQ(host.panel[panel::kDoorsOpenSidePlus], 0);

  host.CloseDoors();
  EXPECT_EQ(host.Frame().brake, kBrakeHolding);
  EXPECT_EQ(host.panel[panel::kPlatformDoorLamp], 1);
  EXPECT_EQ(host.panel[panel::kDoorsOpenSideMinus], 0);

  host.ClearSounds();
  host.KeyDown(0);  // refused: the dwell has not run out
  EXPECT_FALSE(atc.startkey);
  ASSERT_TRUE(host.RunUntil([&] { return host.sound[sound::kChime] == 1; }, 200));
  EXPECT_EQ(host.state.time - TrainHost::kFrameMs, kDeparture);  // the frame that chimed
  EXPECT_GT(host.state.time - opened, 10000);
  EXPECT_EQ(atc.dwell, kDwellNone);
  host.sound[sound::kChime] = 0;
  host.Frame();
  EXPECT_EQ(host.sound[sound::kChime], 0);  // once
  EXPECT_EQ(host.panel[panel::kMessage], kMessageReadyGroup1);

  host.KeyDown(0);
  EXPECT_TRUE(atc.startkey);
  EXPECT_EQ(host.panel[panel::kDockedLamp], 0);
  EXPECT_EQ(host.panel[panel::kPlatformDoorLamp], 0);
  ASSERT_TRUE(host.RunUntil([&] { return host.state.location > kStation + 50; }, 60));
  EXPECT_EQ(host.panel[panel::kMessage], kMessageNone);
}

TEST_F(StationStop, DwellLastsUntilTheDepartureButAtLeastTenSeconds) {
  const struct {
    int32_t departureAfterDoors, expectedDwell;
  } cases[] = {{20000, 20000}, {10000, 10000}, {9999, 10000}, {5000, 10000}, {-60000, 10000}};
  for (const auto& c : cases) {
    atc = AtcState{};
    host.Start();
    host.moving = false;
    host.Place(kStation, 0, kEightAm);
    host.Beacon(kBeaconLocation, 12);
    host.Beacon(kBeaconStation, StationBeacon(kEightAm + c.departureAfterDoors));
    host.Frame();
    host.CloseDoors();  // a closing starts the countdown just as an opening
    EXPECT_EQ(atc.dwell, kDwelling);
    EXPECT_EQ(atc.dwelltime - kEightAm, c.expectedDwell) << c.departureAfterDoors;
  }
}

TEST_F(StationStop, ClosingTheDoorsUnderTheDriverHoldsUntilTheNextHandleCall) {
  ReadyAtStart(host, kModeSupervisedManual, 60, kStation);
  host.moving = false;
  host.SetBrake(0);
  host.SetPower(0);
  host.OpenDoors();
  EXPECT_EQ(host.Frame().brake, kBrakeHolding);
  host.SetBrake(0);  // ignored while the doors are open, but sets the interlock
  EXPECT_FALSE(atc.modeinterlock);
  host.CloseDoors();
  host.RunFor(1);
  EXPECT_EQ(host.handles.brake, kBrakeHolding);
  EXPECT_EQ(host.handles.power, 0);
  host.SetBrake(2);
  host.SetPower(1);
  EXPECT_EQ(host.Frame().brake, 2);
  EXPECT_EQ(host.handles.power, 1);
}

TEST_F(StationStop, DockedLampNeedsTheTrainWithinHalfAMetre) {
  for (double shortBy : {0.3, 0.6}) {
    atc = AtcState{};
    ReadyAtStart(host, kModeAutomatic, 60, kStation, 17);  // door side +1
    host.moving = false;
    host.Place(kStation - shortBy, 0, kEightAm);
    host.Beacon(kBeaconStation, StationBeacon(kEightAm + 30000));
    host.Frame();
    EXPECT_EQ(host.panel[panel::kDockedLamp], shortBy < 0.5) << shortBy;
    host.OpenDoors();
    host.Frame();
    EXPECT_EQ(host.panel[panel::kDoorsOpenSidePlus], 1);
    EXPECT_EQ(host.panel[panel::kDoorsOpenSideMinus], 0);
    host.CloseDoors();
    host.Frame();
    EXPECT_EQ(host.panel[panel::kPlatformDoorLamp], shortBy < 0.5) << shortBy;
  }
}

// Leaving the stop: a driver's or an unattended departure from an ordinary
// stop puts the platform-door lamp out; an unattended code keeps it.
TEST_F(PluginTest, LeavingTheStopWindowResetsTheDoorLamps) {
  const struct {
    int32_t mode, drivestate, code;
    bool doordet, lampAfter;
  } cases[] = {{kModeUnattended, kUnattendedArea, 12, false, false},
               {kModeUnattended, kUnattendedArea, kCodeUnattendedDepot, false, true},
               {kModeUnattended, kLocationGroup1, 12, false, true},
               {kModeAutomatic, kLocationGroup1, 12, true, true},
               {kModeSupervisedManual, kLocationGroup1, 12, true, false}};
  for (const auto& c : cases) {
    atc = AtcState{};
    atc.trainmode = c.mode;
    atc.drivestate = c.drivestate;
    atc.trainlocation = c.code;
    atc.doordet = c.doordet;
    atc.psdlamp = true;
    atc.door = false;
    atc.doorsidelamp = 1;
    atc.thisstop = kStation;
    ShowStationIndications(Frame{kStation + 0.6, 5, kEightAm, kStation});
    EXPECT_EQ(atc.psdlamp, c.lampAfter) << c.mode << " " << c.drivestate << " " << c.code;
  }
}

TEST_F(StationStop, StopWithoutPlatformDoorsHoldsTheTrainAndDropsTheChime) {
  ReadyAtStart(host, kModeAutomatic, 60, kStation, 29);  // no door side
  host.Beacon(kBeaconLocation, 99);                      // an ordinary code: door side +1
  host.Beacon(kBeaconLocation, 10);                      // door side 0, but an unattended code
  atc.trainlocation = 14;                                // door side 0 at an ordinary place
  atc.doorsidelamp = 0;
  host.moving = false;
  host.Place(kStation, 0, kEightAm);
  host.Beacon(kBeaconStoppingPoint, StoppingPoints(kStation, kNextStation));
  host.Beacon(kBeaconStation, StationBeacon(kEightAm + 30000));
  host.Frame();
  // The beacon parked the dwell an hour ahead; give it a near end instead.
  atc.dwelltime = kEightAm + 30000;
  host.Frame();
  EXPECT_EQ(host.panel[panel::kNoPlatformDoors], 1);
  EXPECT_EQ(atc.dwell, kDwellNone);
  EXPECT_FALSE(atc.proceedsound);
  EXPECT_EQ(host.panel[panel::kMessage], kMessageNoPlatformDoors);
  EXPECT_EQ(host.panel[panel::kDockedLamp], 0);
  host.CloseDoors();
  EXPECT_EQ(atc.dwell, kDwellNone);  // door events no longer start a countdown
  EXPECT_EQ(host.Frame().brake, kBrakeHolding);
  host.ClearSounds();
  host.RunFor(31);
  EXPECT_EQ(host.panel[panel::kNoPlatformDoors], 0);
  EXPECT_EQ(host.sound[sound::kChime], 0);
}

TEST_F(StationStop, FreshTrainHoldsWithItsDoorsOpenThenStandsInUnattendedMode) {
  host.Start();
  host.moving = false;
  host.Place(0, 0, kEightAm);  // at the stopping point of a fresh state
  host.SetPower(4);
  ATS_HANDLES h = host.Frame();
  EXPECT_EQ(h.brake, kBrakeHolding);
  EXPECT_EQ(h.power, 0);
  host.CloseDoors();
  EXPECT_EQ(host.Frame().brake, kBrakeEmergency);
  EXPECT_EQ(host.panel[panel::kTrainMode], kModeUnattended);
}

}  // namespace
