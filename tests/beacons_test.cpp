// Route beacons decoded into the train-control state, including the ends of
// the int32 range and negative values.
#include <gtest/gtest.h>

#include <cmath>

#include "fixture.h"
#include "tools.h"

namespace {

class Beacons : public PluginTest {
 protected:
  Beacons() {
    host.Start();
    host.Frame();
  }
  void At(double location, float speed, int32_t time) {
    gState.location = location;
    gState.speed = speed;
    gState.time = time;
  }
};

TEST_F(Beacons, RunNumberSplitsDestinationAndRun) {
  host.Beacon(kBeaconRunNumber, 12345);
  EXPECT_EQ(atc.terminus, 12);
  EXPECT_EQ(atc.run, 345);
  host.Beacon(kBeaconRunNumber, -1234);
  EXPECT_EQ(atc.terminus, -1);
  EXPECT_EQ(atc.run, -234);
  host.Beacon(kBeaconRunNumber, INT32_MIN);
  EXPECT_EQ(atc.terminus, -2147483);
  EXPECT_EQ(atc.run, -648);
}

TEST_F(Beacons, StationParksTheDwellAnHourAheadUntilTheDoorsAreWorked) {
  At(0, 0, 36000000 - 600000);  // ten minutes before 10:00
  host.Beacon(kBeaconStation, 8036000);
  EXPECT_EQ(atc.maxspd, 80);
  EXPECT_EQ(atc.proceedtime, 36000000);
  EXPECT_EQ(atc.dwelltime, 36000000 - 600000 + 3600000);
  EXPECT_EQ(atc.dwell, kDwellAnnounced);
  EXPECT_TRUE(atc.proceedsound);
}

TEST_F(Beacons, StationAnHourAheadOrMoreKeepsItsDepartureTime) {
  for (int32_t ahead : {7200000, 3600000, 3599999}) {
    atc.dwell = kDwellNone;
    At(0, 0, 36000000 - ahead);
    host.Beacon(kBeaconStation, 8036000);
    EXPECT_EQ(atc.dwelltime, ahead >= 3600000 ? 36000000 : 36000000 - ahead + 3600000) << ahead;
  }
}

TEST_F(Beacons, StationWhileDwellingSetsTheDepartureTimeExactly) {
  atc.dwell = kDwelling;
  atc.dwelltime = 1;
  At(0, 0, 36000000);
  host.Beacon(kBeaconStation, 6036010);
  EXPECT_EQ(atc.dwelltime, 36010000);
  EXPECT_EQ(atc.dwell, kDwelling);
  EXPECT_EQ(atc.maxspd, 60);
}

TEST_F(Beacons, StationNearTheEndOfTimeWrapsLikeTheHost) {
  At(0, 0, INT32_MAX - 10);
  host.Beacon(kBeaconStation, INT32_MAX);
  EXPECT_EQ(atc.proceedtime, 83647000);
  EXPECT_EQ(atc.maxspd, 21474);
  EXPECT_EQ(atc.dwelltime, WrapAdd(INT32_MAX - 10, 3600000));
}

struct LocationCase {
  int32_t code, finbak, doorside, drivestate;
};

TEST_F(Beacons, LocationCodesSetStyleDoorSideAndGroup) {
  const LocationCase cases[] = {
      {10, 1, 0, 3},  {11, 2, -1, 1}, {12, 1, -1, 1},  {13, 1, -1, 1}, {17, 3, 1, 1},
      {19, 1, -1, 1}, {20, 3, 1, 2},  {26, 1, -1, 2},  {27, 1, -1, 2}, {28, 1, -1, 3},
      {35, 1, 1, 3},  {14, 1, 1, 1},  {-57, 1, 1, -5}, {0, 1, 1, 0},
  };
  for (const LocationCase& c : cases) {
    atc.drivestate = kLocationGroup1;
    host.Beacon(kBeaconLocation, c.code);
    EXPECT_EQ(atc.trainlocation, c.code);
    EXPECT_EQ(atc.finbak, c.finbak) << c.code;
    EXPECT_EQ(atc.doorsidelamp, c.doorside) << c.code;
    EXPECT_EQ(atc.drivestate, c.drivestate) << c.code;
  }
}

TEST_F(Beacons, Code29StaysUnattendedOnlyWhenAlreadyUnattended) {
  host.Beacon(kBeaconLocation, 28);
  host.Beacon(kBeaconLocation, 29);
  EXPECT_EQ(atc.drivestate, kUnattendedArea);
  EXPECT_EQ(atc.doorsidelamp, 0);
  atc.drivestate = kLocationGroup1;
  host.Beacon(kBeaconLocation, 29);
  EXPECT_EQ(atc.drivestate, kLocationGroup2);
  atc.drivestate = kLocationGroup1;
  atc.information = kMessageUnattendedRunning;
  host.Beacon(kBeaconLocation, 29);
  EXPECT_EQ(atc.drivestate, kUnattendedArea);
}

TEST_F(Beacons, StoppingPointEndsAnyBrakingCurve) {
  atc.braking = true;
  atc.rebrake = kRebraking;
  atc.targettime = 99;
  host.Beacon(kBeaconStoppingPoint, 2000080);
  EXPECT_EQ(atc.thisstop, 5000);
  EXPECT_EQ(atc.nextstop, 2000);
  EXPECT_FALSE(atc.braking);
  EXPECT_EQ(atc.rebrake, 0);
  EXPECT_EQ(atc.targettime, 0);
  host.Beacon(kBeaconStoppingPoint, INT32_MAX);
  EXPECT_EQ(atc.thisstop, 214748 * 25);
  EXPECT_EQ(atc.nextstop, 3647 * 25);
}

TEST_F(Beacons, SpeedLimitChimesOnlyInTheSupervisedModes) {
  atc.trainmode = kModeRestrictedManual;
  host.Beacon(kBeaconSpeedLimit, 45);
  EXPECT_EQ(atc.maxspd, 45);
  EXPECT_EQ(host.sound[4], kSoundSilent);
  atc.trainmode = kModeSupervisedManual;
  atc.braking = true;
  host.Beacon(kBeaconSpeedLimit, 50);
  EXPECT_FALSE(atc.braking);
  EXPECT_EQ(host.sound[4], 1);
}

TEST_F(Beacons, BrakingCurveInAutomaticModeStartsFromTheTrainsSpeed) {
  atc.trainmode = kModeAutomatic;
  gHandles.power = 4;
  At(3000, 72, 0);
  host.Beacon(kBeaconBraking, 1040003500);
  EXPECT_EQ(atc.rebrake, 1);
  EXPECT_EQ(atc.finalspd, 40);
  EXPECT_EQ(atc.decdis, 3500);
  EXPECT_TRUE(atc.braking);
  EXPECT_FALSE(atc.powering);
  EXPECT_EQ(gHandles.power, 0);
  EXPECT_EQ(host.sound[4], 1);
  const double expected = ((40 / 3.6) * (40 / 3.6) - (72 / 3.6) * (72 / 3.6)) / (2 * 500.0);
  EXPECT_DOUBLE_EQ(atc.dec, expected);
}

TEST_F(Beacons, BrakingCurveUnderTheDriverStartsFromTheLineLimit) {
  atc.trainmode = kModeSupervisedManual;
  atc.maxspd = 80;
  gHandles.power = 3;
  At(3000, 50, 0);
  host.Beacon(kBeaconBraking, 40003500);
  EXPECT_EQ(gHandles.power, 3);
  EXPECT_EQ(host.sound[4], 1);
  EXPECT_DOUBLE_EQ(atc.dec, ((40 / 3.6) * (40 / 3.6) - (80 / 3.6) * (80 / 3.6)) / 1000.0);
}

TEST_F(Beacons, BrakingCurveInHeldUnattendedModeIsSilent) {
  atc.trainmode = kModeUnattended;
  atc.drivestate = kLocationGroup2;
  atc.information = kMessageUnattendedRunning;
  atc.maxspd = 60;
  At(0, 30, 0);
  host.Beacon(kBeaconBraking, 2030001000);
  EXPECT_EQ(atc.rebrake, 2);
  EXPECT_EQ(atc.finalspd, 30);
  EXPECT_EQ(host.sound[4], kSoundSilent);
  EXPECT_DOUBLE_EQ(atc.dec, ((30 / 3.6) * (30 / 3.6) - (60 / 3.6) * (60 / 3.6)) / 2000.0);
}

TEST_F(Beacons, BrakingFieldsAtTheEndsOfTheRange) {
  host.Beacon(kBeaconBraking, INT32_MAX);
  EXPECT_EQ(atc.rebrake, 2);
  EXPECT_EQ(atc.finalspd, 147);
  EXPECT_EQ(atc.decdis, 483647);
  host.Beacon(kBeaconBraking, 2000000000);
  EXPECT_EQ(atc.rebrake, 2);
  EXPECT_EQ(atc.finalspd, 0);
  host.Beacon(kBeaconBraking, INT32_MIN);
  EXPECT_EQ(atc.rebrake, -2);
  EXPECT_EQ(atc.finalspd, -147);
  EXPECT_EQ(atc.decdis, -483648);
}

TEST_F(Beacons, BrakingCurveEndingHereEndsAtTheNextFrameInAutomaticMode) {
  atc.trainmode = kModeAutomatic;
  atc.door = false;
  host.Beacon(kBeaconSpeedLimit, 70);
  host.Beacon(kBeaconStoppingPoint, 4000400);  // stops at 10 km: no overrun here
  host.moving = false;
  host.Place(3500, 60, 1000);
  host.Frame();
  host.Beacon(kBeaconBraking, 40003500);
  EXPECT_TRUE(std::isinf(atc.dec));
  host.Frame();  // NaN curve speed: the limit governs, and the curve ends here
  EXPECT_FALSE(atc.braking);
  EXPECT_EQ(atc.maxspd, 40);
  EXPECT_EQ(host.handles.brake, 0);
}

TEST_F(Beacons, DrivingOptionsHoldNeutralSectionAndShownSpeed) {
  At(1234.5, 10, 5000);
  host.Beacon(kBeaconDrivingOption, 2);
  EXPECT_EQ(atc.holdpwbk, kHoldBrake);
  host.Beacon(kBeaconDrivingOption, 0);
  EXPECT_EQ(atc.holdpwbk, kHoldNormal);
  host.Beacon(kBeaconDrivingOption, 2);
  host.api().SetBeaconData({kBeaconDrivingOption, 0, 99.0f, 3});
  EXPECT_EQ(atc.nzlocation, 1234.5);
  host.Beacon(kBeaconDrivingOption, 65);
  EXPECT_EQ(atc.finalspd, 65);
  EXPECT_EQ(atc.targettime, 5150);
  const AtcState before = atc;
  host.Beacon(kBeaconDrivingOption, -1);
  EXPECT_EQ(atc.holdpwbk, before.holdpwbk);
  EXPECT_EQ(atc.finalspd, before.finalspd);
}

TEST_F(Beacons, OtherTypesChangeNothing) {
  const AtcState before = atc;
  for (int32_t type : {INT32_MIN, -1, 0, 10, 19, 20, INT32_MAX}) {
    host.api().SetBeaconData({type, 5, 100.0f, 8036000});
  }
  EXPECT_EQ(atc.maxspd, before.maxspd);
  EXPECT_EQ(atc.dwell, before.dwell);
  EXPECT_EQ(atc.trainlocation, before.trainlocation);
  EXPECT_EQ(atc.terminus, before.terminus);
}

}  // namespace
