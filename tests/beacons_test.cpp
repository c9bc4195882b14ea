// Route beacons decoded into the train-control state, a table per type,
// including the ends of the int32 range and negative values.
#include <gtest/gtest.h>

#include <cmath>

#include "channels.h"
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

TEST_F(Beacons, RunNumberStoppingPointAndLimitFields) {
  const struct {
    int32_t o, terminus, run;
  } runs[] = {{12345, 12, 345}, {-1234, -1, -234}, {INT32_MIN, -2147483, -648}};
  for (const auto& c : runs) {
    host.Beacon(kBeaconRunNumber, c.o);
    EXPECT_EQ(atc.terminus, c.terminus) << c.o;
    EXPECT_EQ(atc.run, c.run) << c.o;
  }
  const struct {
    int32_t o;
    double thisstop, nextstop;
  } stops[] = {{2000080, 5000, 2000}, {INT32_MAX, 214748 * 25, 3647 * 25}, {-10001, -25, -25}};
  for (const auto& c : stops) {
    atc.braking = true;  // a stopping point ends any braking curve
    atc.rebrake = kRebraking;
    atc.targettime = 99;
    host.Beacon(kBeaconStoppingPoint, c.o);
    EXPECT_EQ(atc.thisstop, c.thisstop) << c.o;
    EXPECT_EQ(atc.nextstop, c.nextstop) << c.o;
    EXPECT_FALSE(atc.braking);
    EXPECT_EQ(atc.rebrake, kRebrakeNone);
    EXPECT_EQ(atc.targettime, 0);
  }
  // A speed limit ends a braking curve too, and chimes where the target is supervised.
  for (int32_t mode : {kModeRestrictedManual, kModeSupervisedManual}) {
    atc.trainmode = mode;
    atc.braking = true;
    host.sound[sound::kChime] = 0;
    host.Beacon(kBeaconSpeedLimit, 45 + mode);
    EXPECT_EQ(atc.maxspd, 45 + mode);
    EXPECT_FALSE(atc.braking);
    EXPECT_EQ(host.sound[sound::kChime], mode == kModeSupervisedManual ? 1 : 0);
  }
}

// The departure parks the dwell an hour ahead until the doors are worked,
// unless it lies further ahead; while dwelling it only moves the departure.
TEST_F(Beacons, StationSetsLimitDepartureAndDwell) {
  const struct {
    int32_t now, o, dwellBefore, proceedtime, dwelltime, maxspd;
  } cases[] = {
      {36000000 - 600000, 8036000, kDwellNone, 36000000, 36000000 - 600000 + 3600000, 80},
      {36000000 - 3599999, 8036000, kDwellNone, 36000000, 36000000 + 1, 80},
      {36000000 - 3600000, 8036000, kDwellNone, 36000000, 36000000, 80},
      {36000000 - 3600001, 8036000, kDwellNone, 36000000, 36000000, 80},
      {36000000 - 7200000, 8036000, kDwellNone, 36000000, 36000000, 80},
      {36000000, 6036010, kDwelling, 36010000, 36010000, 60},
      {INT32_MAX - 10, INT32_MAX, kDwellNone, 83647000, WrapAdd(INT32_MAX - 10, 3600000), 21474},
  };
  for (const auto& c : cases) {
    atc.dwell = c.dwellBefore;
    atc.proceedsound = false;
    At(0, 0, c.now);
    host.Beacon(kBeaconStation, c.o);
    EXPECT_EQ(atc.proceedtime, c.proceedtime) << c.o << " at " << c.now;
    EXPECT_EQ(atc.dwelltime, c.dwelltime) << c.o << " at " << c.now;
    EXPECT_EQ(atc.maxspd, c.maxspd);
    EXPECT_EQ(atc.dwell, c.dwellBefore == kDwelling ? kDwelling : kDwellAnnounced);
    EXPECT_TRUE(atc.proceedsound);
  }
}

TEST_F(Beacons, LocationCodesSetStyleDoorSideAndGroup) {
  const struct {
    int32_t code, finbak, doorside, drivestate;
  } cases[] = {
      {10, 1, 0, 3},  {11, 2, -1, 1}, {12, 1, -1, 1},  {13, 1, -1, 1}, {17, 3, 1, 1},
      {19, 1, -1, 1}, {20, 3, 1, 2},  {26, 1, -1, 2},  {27, 1, -1, 2}, {28, 1, -1, 3},
      {35, 1, 1, 3},  {14, 1, 1, 1},  {-57, 1, 1, -5}, {0, 1, 1, 0},
  };
  for (const auto& c : cases) {
    atc.drivestate = kLocationGroup1;
    host.Beacon(kBeaconLocation, c.code);
    EXPECT_EQ(atc.trainlocation, c.code);
    EXPECT_EQ(atc.finbak, c.finbak) << c.code;
    EXPECT_EQ(atc.doorsidelamp, c.doorside) << c.code;
    EXPECT_EQ(atc.drivestate, c.drivestate) << c.code;
  }
  // Code 29 stays unattended only when the train already is.
  const struct {
    int32_t drivestate, information, after;
  } exits[] = {{kUnattendedArea, kMessageNone, kUnattendedArea},
               {kLocationGroup1, kMessageNone, kLocationGroup2},
               {kLocationGroup1, kMessageUnattendedRunning, kUnattendedArea}};
  for (const auto& c : exits) {
    atc.drivestate = c.drivestate;
    atc.information = c.information;
    host.Beacon(kBeaconLocation, 29);
    EXPECT_EQ(atc.drivestate, c.after) << c.drivestate << " " << c.information;
    EXPECT_EQ(atc.doorsidelamp, 0);
  }
}

// The curve's deceleration starts from the train's speed where it drives
// itself, else from the line's limit; in those modes the beacon chimes.
TEST_F(Beacons, BrakingCurveFieldsAndDeceleration) {
  const struct {
    int32_t mode, drivestate, information, o;
    double maxspd;
    float v;
    int32_t rebrake, finalspd, decdis;
    double from;
    bool chime;
  } cases[] = {
      {kModeAutomatic, 1, 0, 1040003500, 80, 72, 1, 40, 3500, 72, true},
      {kModeSupervisedManual, 1, 0, 40003500, 80, 50, 0, 40, 3500, 80, true},
      {kModeUnattended, 2, kMessageUnattendedRunning, 2030001000, 60, 30, 2, 30, 1000, 60, false},
      {kModeUnattended, 3, 0, 2000000000, 60, 30, 2, 0, 0, 30, true},
      {kModeRestrictedManual, 1, 0, INT32_MAX, 60, 30, 2, 147, 483647, 60, false},
      {kModeRestrictedManual, 1, 0, INT32_MIN, 60, 30, -2, -147, -483648, 60, false},
  };
  for (const auto& c : cases) {
    atc.trainmode = c.mode;
    atc.drivestate = c.drivestate;
    atc.information = c.information;
    atc.maxspd = c.maxspd;
    atc.powering = true;
    gHandles.power = 4;
    host.sound[sound::kChime] = 0;
    At(0, c.v, 0);
    host.Beacon(kBeaconBraking, c.o);
    EXPECT_EQ(atc.rebrake, c.rebrake) << c.o;
    EXPECT_EQ(atc.finalspd, c.finalspd) << c.o;
    EXPECT_EQ(atc.decdis, c.decdis) << c.o;
    EXPECT_TRUE(atc.braking);
    EXPECT_FALSE(atc.powering);
    EXPECT_EQ(gHandles.power, c.mode == kModeAutomatic ? 0 : 4);
    EXPECT_EQ(host.sound[sound::kChime], c.chime ? 1 : 0) << c.o;
    const double u = c.from / 3.6, vf = c.finalspd / 3.6;
    EXPECT_DOUBLE_EQ(atc.dec, (vf * vf - u * u) / (2.0 * c.decdis)) << c.o;
  }
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

TEST_F(Beacons, DrivingOptionsAndOtherTypes) {
  At(1234.5, 10, 5000);
  for (int32_t style : {kHoldBrake, kHoldNormal, kHoldConstantSpeed}) {
    host.Beacon(kBeaconDrivingOption, style);
    EXPECT_EQ(atc.holdpwbk, style);
  }
  host.api().SetBeaconData({kBeaconDrivingOption, 0, 99.0f, 3});
  EXPECT_EQ(atc.nzlocation, 1234.5);
  EXPECT_EQ(atc.holdpwbk, kHoldConstantSpeed);
  host.Beacon(kBeaconDrivingOption, 65);  // a speed to show for 150 ms
  EXPECT_EQ(atc.finalspd, 65);
  EXPECT_EQ(atc.targettime, 5150);
  const AtcState before = atc;
  host.Beacon(kBeaconDrivingOption, -1);
  for (int32_t type : {INT32_MIN, -1, 0, 10, 19, 20, INT32_MAX}) {
    host.api().SetBeaconData({type, 5, 100.0f, 8036000});
  }
  EXPECT_EQ(atc.holdpwbk, before.holdpwbk);
  EXPECT_EQ(atc.finalspd, before.finalspd);
  EXPECT_EQ(atc.maxspd, before.maxspd);
  EXPECT_EQ(atc.dwell, before.dwell);
  EXPECT_EQ(atc.trainlocation, before.trainlocation);
  EXPECT_EQ(atc.terminus, before.terminus);
}

}  // namespace
