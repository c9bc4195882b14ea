// Automatic driving as a host sees it: the start ramp, powering and coasting
// by speed bands, braking curves, the final stop by style, holding styles and
// the neutral-section cap.
#include <gtest/gtest.h>

#include <string>

#include "test_line.h"

namespace {

using AutomaticDriving = PluginTest;

TEST_F(AutomaticDriving, StartKeyRampsThePowerWithinTheKeyCall) {
  ReadyAtStart(host, kModeAutomatic, 60, 2000);
  EXPECT_EQ(host.handles.brake, 7);  // holding at a stand
  host.KeyDown(0);
  EXPECT_EQ(gHandles.brake, 0);
  EXPECT_EQ(gHandles.power, 1);
  EXPECT_TRUE(atc.startkey);
  EXPECT_EQ(host.sound[0], 1);
  host.RunUntil([&] { return host.state.speed >= 1.0f; }, 5);
  EXPECT_EQ(host.Frame().power, 2);
  host.RunUntil([&] { return host.state.speed >= 2.0f; }, 5);
  EXPECT_EQ(host.Frame().power, 3);
  host.RunUntil([&] { return host.state.speed >= 3.0f; }, 5);
  EXPECT_EQ(host.Frame().power, 4);
  EXPECT_FALSE(atc.startkey);
}

TEST_F(AutomaticDriving, RefusedStartKeyOnlySounds) {
  ReadyAtStart(host, kModeAutomatic, 60, 2000);
  host.OpenDoors();
  host.KeyDown(0);
  EXPECT_FALSE(atc.startkey);
  EXPECT_EQ(host.sound[0], 1);
  host.CloseDoors();
  host.SetBrake(8);
  atc.trainmode = kModeSupervisedManual;
  host.KeyDown(0);
  EXPECT_FALSE(atc.startkey);
}

TEST_F(AutomaticDriving, PowersToTheLimitAndHoldsItByCoastingAndBraking) {
  ReadyAtStart(host, kModeAutomatic, 60, 5000);
  host.KeyDown(0);
  ASSERT_TRUE(host.RunUntil([&] { return host.state.speed > 57; }, 60));
  float lowest = 99, highest = 0;
  bool coasted = false;
  for (int i = 0; i < 1500; ++i) {  // 30 s at the limit
    const ATS_HANDLES h = host.Frame();
    lowest = std::min(lowest, host.state.speed);
    highest = std::max(highest, host.state.speed);
    coasted |= h.power == 0 && h.brake == 0;
  }
  EXPECT_TRUE(coasted);
  EXPECT_GT(lowest, 55.0f);
  EXPECT_LT(highest, 61.2f);
  EXPECT_EQ(host.panel[11], 60);
}

TEST_F(AutomaticDriving, BrakingCurveBringsTheTrainToItsFinalSpeedThenReBrakes) {
  ReadyAtStart(host, kModeAutomatic, 60, 5000);
  host.AddBeacon(1600, kBeaconBraking, BrakingCurve(1, 30, 2000));
  host.KeyDown(0);
  ASSERT_TRUE(host.RunUntil([&] { return atc.braking; }, 120));
  EXPECT_EQ(host.sound[4], 1);
  host.sound[4] = 0;
  host.Frame();
  EXPECT_EQ(host.panel[13], 3);  // final speed on the digits
  EXPECT_EQ(host.panel[14], 0);
  bool braked = false;
  while (atc.braking && host.frames < 100000) braked |= host.Frame().brake > 0;
  EXPECT_TRUE(braked);
  EXPECT_LE(host.state.location, 2001.0);
  EXPECT_NEAR(host.state.speed, 30, 1.5);
  EXPECT_EQ(atc.maxspd, 30);
  EXPECT_EQ(host.sound[4], 1);  // chime at the curve's end
  EXPECT_EQ(atc.rebrake, kRebraking);
  // Re-braking by the deficit until 5 km/h under the target, then re-powering.
  EXPECT_TRUE(host.RunUntil([&] { return atc.rebrake == kRepowering; }, 30));
  EXPECT_NEAR(host.state.speed, 25, 0.5);
  EXPECT_TRUE(host.RunUntil([&] { return atc.rebrake == kRebrakeNone; }, 30));
  EXPECT_TRUE(atc.powering);
}

TEST_F(AutomaticDriving, CurveBrakingNotchesFollowTheDecelerationRow) {
  ReadyAtStart(host, kModeAutomatic, 60, 5000);
  host.moving = false;
  atc.braking = true;
  atc.finalspd = 20;
  atc.decdis = 900;
  atc.dec = -0.5;
  host.Place(500, 40, kEightAm);
  host.Frame();
  const double curve = atc.tagspd;
  host.Place(500, static_cast<float>(curve), kEightAm + 20);
  EXPECT_EQ(host.Frame().brake, 8);  // at the curve
  host.Place(500, static_cast<float>(curve - 0.5), kEightAm + 40);
  EXPECT_EQ(host.Frame().brake, 5);
  host.Place(500, static_cast<float>(curve - 1.5), kEightAm + 60);
  EXPECT_EQ(host.Frame().brake, 4);
  atc.dec = -1.5;
  host.Place(500, 60, kEightAm + 80);
  EXPECT_EQ(host.Frame().brake, 9);  // emergency position of an 8-notch train
  atc.dec = -0.143;                  // exactly on a bound: no row, the notch stays
  host.Place(500, 40, kEightAm + 100);
  EXPECT_EQ(host.Frame().brake, 9);
}

struct StopCase {
  int32_t locationCode;
  int32_t style;
  double offset;
  std::array<double, 10> decelByNotch;
};
void PrintTo(const StopCase& c, std::ostream* os) { *os << "final-braking style " << c.style; }

// Style 2 suits a train whose lighter notches brake gently.
constexpr std::array<double, 10> kUsualBrakes{0, 0.4, 0.8, 1.2, 1.6, 2.0, 2.6, 3.2, 3.8, 4.5};
constexpr std::array<double, 10> kGentleBrakes{0, 0.2, 0.4, 0.6, 0.8, 1.1, 2.0, 3.0, 3.8, 4.5};

class FinalStop : public PluginTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(FinalStop, ComesToRestJustBeyondTheStoppingPointAndHoldsBrake7) {
  const StopCase c = GetParam();
  host.decelByNotch = c.decelByNotch;
  ReadyAtStart(host, kModeAutomatic, 70, 2500, c.locationCode);
  host.AddBeacon(1500, kBeaconStation, 7000000 + kEightAm / 1000 + 600);
  host.KeyDown(0);
  ASSERT_TRUE(host.RunUntil([&] { return host.state.speed > 20; }, 60));
  EXPECT_EQ(atc.finbaksty, c.style);
  bool chimed = false;
  ASSERT_TRUE(host.RunUntil(
      [&] {
        chimed |= host.sound[4] == 1;
        return host.Stopped();
      },
      300));
  EXPECT_TRUE(chimed);  // the approach chime
  EXPECT_NEAR(host.state.location, 2500 + c.offset, 0.3);
  host.RunFor(5);  // within 0.2 m of the point the target is 0: holding brake 7
  EXPECT_TRUE(host.Stopped());
  EXPECT_EQ(host.handles.brake, 7);
  EXPECT_EQ(host.handles.power, 0);
  EXPECT_EQ(host.panel[38], 7);
  EXPECT_EQ(host.panel[21], 1);  // docked
}

INSTANTIATE_TEST_SUITE_P(EachStyle, FinalStop,
                         ::testing::Values(StopCase{12, 1, 0.14, kUsualBrakes},
                                           StopCase{11, 2, 0.1, kGentleBrakes},
                                           StopCase{17, 3, 0.1, kUsualBrakes}),
                         [](const auto& info) {
                           return "Style" + std::to_string(info.param.style);
                         });

TEST_F(AutomaticDriving, NeutralSectionCapsThePowerInItsTwoWindows) {
  ReadyAtStart(host, kModeAutomatic, 90, 5000);
  host.AddBeacon(1100, kBeaconDrivingOption, 3);
  host.KeyDown(0);
  int maxInWindow = 0, maxInGap = 0;
  while (host.state.location < 1300 && host.frames < 100000) {
    const double at = host.state.location - atc.nzlocation;
    const int32_t power = host.Frame().power;
    if ((at > 1 && at < 74) || (at > 101 && at < 174)) maxInWindow = std::max(maxInWindow, power);
    if (at > 76 && at < 99) maxInGap = std::max(maxInGap, power);
  }
  EXPECT_NEAR(atc.nzlocation, 1100, 1.0);
  EXPECT_EQ(maxInWindow, 1);
  EXPECT_GT(maxInGap, 1);
}

TEST_F(AutomaticDriving, BrakeHoldingStyleBrakesLightlyAtTheTarget) {
  ReadyAtStart(host, kModeAutomatic, 40, 5000);
  host.Beacon(kBeaconDrivingOption, kHoldBrake);
  host.moving = false;
  atc.powering = true;
  host.Place(3000, 41.5f, kEightAm);
  ATS_HANDLES h = host.Frame();
  EXPECT_EQ(h.brake, 3);  // 1.5 over: brake 3, and B7's power stays this frame
  EXPECT_EQ(h.power, 1);
  host.Place(3000, 40.5f, kEightAm + 20);
  h = host.Frame();
  EXPECT_EQ(h.brake, 1);
  EXPECT_FALSE(atc.powering);
}

TEST_F(AutomaticDriving, ConstantSpeedHoldingEngagesTheHostsControl) {
  ReadyAtStart(host, kModeAutomatic, 40, 5000);
  host.Beacon(kBeaconDrivingOption, kHoldConstantSpeed);
  host.moving = false;
  host.Place(3000, 40.5f, kEightAm);
  ATS_HANDLES h = host.Frame();
  EXPECT_EQ(h.constantSpeed, 1);
  EXPECT_EQ(h.power, 2);
  host.Place(3000, 41.0f, kEightAm + 20);
  h = host.Frame();
  EXPECT_EQ(h.constantSpeed, 2);
  EXPECT_EQ(h.power, 0);
}

TEST_F(AutomaticDriving, PowerBandsAtTheirBounds) {
  ReadyAtStart(host, kModeAutomatic, 120, 20000);
  host.moving = false;
  atc.powering = true;
  host.Place(3000, 75.0f, kEightAm);
  EXPECT_EQ(host.Frame().power, 4);
  host.Place(3000, 75.1f, kEightAm + 20);
  EXPECT_EQ(host.Frame().power, 3);
  host.Place(3000, 110.0f, kEightAm + 40);
  EXPECT_EQ(host.Frame().power, 3);  // above 100 km/h, 10 under the target
}

}  // namespace
