// Supervision as the driver meets it: the overspeed trip, the 26 km/h
// ceiling, overrun protection, the door-open brake and stop brakings with the
// brake notice that follows an emergency stop.
#include <gtest/gtest.h>

#include "channels.h"
#include "corvane_frame.h"
#include "test_line.h"

namespace {

class Supervision : public PluginTest {
 protected:
  // Standing in a manual mode with the brake released, speeds placed by hand.
  void DriveByHand(int32_t mode, int32_t stop = 5000) {
    ReadyAtStart(host, mode, 60, stop);
    host.moving = false;
    host.SetBrake(0);
  }
  ATS_HANDLES At(double location, double speed) {
    host.state.location = location;
    host.state.speed = static_cast<float>(speed);
    return host.Frame();
  }
};

TEST_F(Supervision, OverspeedTripsOnceAboveFiveAndAHalfThenShowsTheBrakeNotice) {
  DriveByHand(kModeSupervisedManual);
  host.SetPower(3);
  ATS_HANDLES h = At(kStartLocation, 65.5);
  EXPECT_EQ(atc.stopbrake, kStopNone);
  EXPECT_NE(host.sound[sound::kOverspeed], 1);
  EXPECT_EQ(h.power, 3);

  h = At(kStartLocation, 65.6);
  EXPECT_EQ(host.sound[sound::kOverspeed], 1);
  EXPECT_EQ(h.brake, kBrakeEmergency);
  EXPECT_EQ(h.power, 0);

  host.sound[sound::kOverspeed] = 0;
  At(kStartLocation, 70);  // still braking: the trip is not repeated
  EXPECT_NE(host.sound[sound::kOverspeed], 1);
  EXPECT_EQ(host.handles.brake, kBrakeEmergency);

  h = At(kStartLocation, 0);
  const int32_t standTime = host.state.time - TrainHost::kFrameMs;
  EXPECT_EQ(h.brake, kBrakeFullService);
  EXPECT_EQ(atc.stopbrake, kStopNone);
  EXPECT_EQ(atc.ebtime, standTime + 3500);
  EXPECT_EQ(host.panel[panel::kMessage], kMessageBrakeNotice);
  while (host.state.time < standTime + 3480) At(kStartLocation, 0);
  EXPECT_EQ(host.panel[panel::kMessage], kMessageBrakeNotice);
  At(kStartLocation, 0);
  At(kStartLocation, 0);
  EXPECT_EQ(atc.ebtime, 0);
  EXPECT_NE(host.panel[panel::kMessage], kMessageBrakeNotice);
}

TEST_F(Supervision, CeilingOfRestrictedAndReverseModesIsAServiceStop) {
  DriveByHand(kModeRestrictedManual);
  host.SetPower(2);
  EXPECT_EQ(At(kStartLocation, 25.9).power, 2);
  EXPECT_EQ(atc.stopbrake, kStopNone);
  ATS_HANDLES h = At(kStartLocation, 26.0);
  EXPECT_EQ(h.brake, kBrakeFullService);
  EXPECT_EQ(h.power, 0);
  EXPECT_EQ(At(kStartLocation, 20).brake, kBrakeFullService);  // until the stand
  EXPECT_EQ(At(kStartLocation, 0).brake, kBrakeFullService);
  EXPECT_EQ(atc.stopbrake, kStopNone);
  EXPECT_EQ(atc.ebtime, 0);  // no brake notice after a service stop

  atc.trainmode = kModeReverse;
  host.SetBrake(0);
  EXPECT_EQ(At(kStartLocation, -25.9).brake, 0);
  EXPECT_EQ(host.handles.reverser, -1);
  EXPECT_EQ(At(kStartLocation, -26.0).brake, kBrakeFullService);
  EXPECT_EQ(atc.stopbrake, kStopService);
}

TEST_F(Supervision, OverrunBeyondTheStoppingPointBrakesOnlyGoingForward) {
  DriveByHand(kModeRestrictedManual, 2000);
  host.SetPower(2);
  EXPECT_EQ(At(2006.25, 10).power, 2);
  ATS_HANDLES h = At(2006.3, 10);
  EXPECT_EQ(h.power, 0);
  EXPECT_EQ(h.brake, kBrakeFullService);
  EXPECT_EQ(At(2010, 8).brake, kBrakeFullService);  // every frame while there
  EXPECT_EQ(atc.stopbrake, kStopNone);              // a protection, not a stop request

  // The protection's outputs stay until the driver moves the handles again.
  atc.trainmode = kModeReverse;
  host.SetPower(2);
  host.SetBrake(0);
  h = At(2010, -8);
  EXPECT_EQ(h.reverser, -1);
  EXPECT_EQ(h.power, 2);
  EXPECT_EQ(h.brake, 0);
}

TEST_F(Supervision, OpenDoorsOverrideAutomaticPower) {
  ReadyAtStart(host, kModeAutomatic, 60, 5000);
  host.KeyDown(0);
  ASSERT_TRUE(host.RunUntil([&] { return host.state.speed > 20; }, 60));
  ASSERT_GT(host.handles.power, 0);
  atc.door = true;  // the doors as the train finds them, without a door event
  const ATS_HANDLES h = host.Frame();
  EXPECT_EQ(h.power, 0);
  EXPECT_EQ(h.brake, kBrakeHolding);
}

TEST_F(Supervision, StopBrakingWithOpenDoorsBrakesHarderThenHolds) {
  ReadyAtStart(host, kModeAutomatic, 60, 5000);
  host.KeyDown(0);
  ASSERT_TRUE(host.RunUntil([&] { return host.state.speed > 20; }, 60));
  host.OpenDoors();
  EXPECT_EQ(atc.stopbrake, kStopService);
  EXPECT_EQ(host.Frame().brake, kBrakeFullService);
  ASSERT_TRUE(host.RunUntil([&] { return host.Stopped(); }, 60));
  EXPECT_EQ(host.Frame().brake, kBrakeFullService);  // the standing frame
  EXPECT_EQ(host.Frame().brake, kBrakeHolding);
}

TEST_F(Supervision, EmergencyKeyStopsAMovingTrainOnly) {
  ReadyAtStart(host, kModeAutomatic, 60, 5000);
  host.KeyDown(15);
  EXPECT_EQ(atc.stopbrake, kStopNone);
  host.KeyDown(0);
  ASSERT_TRUE(host.RunUntil([&] { return host.state.speed > 30; }, 60));
  host.KeyDown(15);
  EXPECT_EQ(host.Frame().brake, kBrakeEmergency);
  EXPECT_FALSE(atc.startkey);
  ASSERT_TRUE(host.RunUntil([&] { return host.Stopped(); }, 60));
  host.Frame();
  EXPECT_EQ(atc.information, kMessageBrakeNotice);
  EXPECT_EQ(host.panel[panel::kMessage], kMessageBrakeNotice);
}

TEST_F(Supervision, StopBrakingLeavesOnlyTheUnattendedAreaWithItsDoorsClosed) {
  const struct {
    int32_t drivestate;
    bool door;
    int32_t after;
  } cases[] = {{kUnattendedArea, false, kLocationGroup2},
               {kUnattendedArea, true, kUnattendedArea},
               {kLocationGroup1, false, kLocationGroup1}};
  for (const auto& c : cases) {
    atc.trainlocation = kCodeUnattendedDepot;
    atc.drivestate = c.drivestate;
    atc.door = c.door;
    atc.stopbrake = kStopService;
    ExecuteStopBraking(Frame{3000, 30, 0});
    EXPECT_EQ(atc.drivestate, c.after) << c.drivestate << " " << c.door;
  }
}

TEST_F(Supervision, StopBrakingInTheUnattendedAreaLeavesIt) {
  for (int32_t code : {kCodeUnattendedDepot, 12}) {
    atc = AtcState{};
    host.Start();
    host.moving = false;
    host.Place(3000, 30, kEightAm);
    atc.drivestate = kUnattendedArea;
    atc.trainlocation = code;
    atc.door = false;
    atc.thisstop = atc.nextstop = 5000;
    atc.information = kMessageUnattendedRunning;
    host.Frame();  // the key reads the speed of the last frame
    host.KeyDown(15);
    const ATS_HANDLES h = host.Frame();
    EXPECT_EQ(h.brake, kBrakeEmergency);
    EXPECT_EQ(atc.drivestate, code == kCodeUnattendedDepot ? kLocationGroup2 : kLocationGroup1);
    EXPECT_EQ(atc.information, kMessageNone);
    // Outside the area unattended mode holds the train with its fixed outputs.
    EXPECT_EQ(atc.drivestate, code == kCodeUnattendedDepot ? kLocationGroup2 : kLocationGroup1);
    atc.stopbrake = kStopNone;
    EXPECT_EQ(host.Frame().brake, kBrakeEmergency);
    EXPECT_EQ(host.handles.power, 0);
  }
}

TEST_F(Supervision, ManualCurveEndLeavesReBrakingToTheSpeedBranch) {
  DriveByHand(kModeSupervisedManual);
  atc.braking = true;
  atc.finalspd = 30;
  atc.decdis = 1500;
  atc.rebrake = kRebrakeChimeThenRebrake;
  atc.finalsound = kChimePlayed;  // the approach chime is not what is tested here
  host.sound[sound::kChime] = 0;
  At(1501, 34);  // past the end, still above the final speed
  EXPECT_FALSE(atc.braking);
  EXPECT_EQ(atc.maxspd, 30);
  EXPECT_EQ(atc.rebrake, kRebrakeChimeThenRebrake);
  EXPECT_EQ(host.sound[sound::kChime], 0);

  atc.braking = true;
  atc.decdis = 1800;
  atc.maxspd = 60;
  gHandles.reverser = -1;
  EXPECT_EQ(At(1502, 29).reverser, 1);  // below the final speed before the end
  EXPECT_EQ(atc.maxspd, 30);
  EXPECT_FALSE(atc.braking);
  EXPECT_EQ(atc.rebrake, kRebrakeNone);
}

}  // namespace
