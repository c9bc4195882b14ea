// The speed profile of a frame: the stop and limit in use, the curve speed of
// the stopping curve by style and of a beacon's braking curve, the target.
#include <gtest/gtest.h>

#include <cmath>

#include "channels.h"
#include "corvane_frame.h"
#include "fixture.h"

namespace {

using Profile = PluginTest;

Frame CurveAt(double location, double stoppos) {
  Frame f{location, 30, 0, stoppos, 60};
  ComputeCurveSpeed(f);
  return f;
}

TEST_F(Profile, StoppingCurveByStyleReachesZeroJustBeyondThePoint) {
  const struct {
    int32_t style;
    double dec, offset;
  } curves[] = {
      {1, -0.75, 0.14}, {2, -0.75, 0.1}, {3, -0.7, 0.1}, {0, -0.75, 0.1}, {7, -0.75, 0.1}};
  for (const auto& c : curves) {
    atc.finbaksty = c.style;
    for (double before : {100.0, 10.0, 0.0625}) {
      EXPECT_DOUBLE_EQ(CurveAt(1000 - before, 1000).curvespd,
                       3.6 * std::sqrt(-c.dec * 2 * (before + c.offset)))
          << c.style << " at " << before;
      EXPECT_EQ(atc.dec, c.dec);
    }
    // Beyond the zero point the curve grows again with the overrun.
    EXPECT_NEAR(CurveAt(1000 + c.offset + 3, 1000).curvespd,
                3.6 * std::sqrt(-c.dec * 2 * (c.offset + 3)), 1e-9);
  }
}

TEST_F(Profile, BrakingCurveFromTheBeaconsDeceleration) {
  atc.braking = true;
  atc.finalspd = 36;  // 10 m/s
  atc.decdis = 1500;
  atc.dec = -0.5;
  EXPECT_DOUBLE_EQ(CurveAt(1100, 9999).curvespd, 3.6 * std::sqrt(100 + 2 * 0.5 * 400));
  EXPECT_TRUE(std::isnan(CurveAt(1700, 9999).curvespd));  // past its end: no curve
}

TEST_F(Profile, StopAndLimitOfTheFrame) {
  atc.maxspd = 60;
  atc.thisstop = 1000;
  atc.nextstop = 3000;
  atc.dwelltime = 5000;  // a dwell ahead
  const struct {
    double location;
    int32_t dwell, time;
    double stoppos, limspd;
  } cases[] = {
      {900, kDwellNone, 0, 1000, 60},    {999.875, kDwellNone, 0, 1000, 0},
      {999.75, kDwellNone, 0, 1000, 60}, {900, kDwelling, 0, 1000, 0},
      {1000, kDwelling, 4999, 1000, 0},  {1000, kDwelling, 5000, 3000, 60},
  };
  for (const auto& c : cases) {
    atc.dwell = c.dwell;
    atc.finalsound = kChimePlayed;
    Frame f{c.location, 0, c.time};
    SelectStopAndLimit(f);
    EXPECT_EQ(f.stoppos, c.stoppos) << c.location << " at " << c.time;
    EXPECT_EQ(f.limspd, c.limspd) << c.location << " at " << c.time;
  }
  // The dwell ran out: its state is cleared, the next stop's style taken and
  // its approach chime armed; holding at a stop disarms it.
  EXPECT_EQ(atc.dwell, kDwellNone);
  EXPECT_EQ(atc.dwelltime, 0);
  atc.finbak = 3;
  atc.finalsound = kChimeDisarmed;
  Frame f{900, 0, 0};
  SelectStopAndLimit(f);
  EXPECT_EQ(atc.finbaksty, 3);
  EXPECT_EQ(atc.finalsound, kChimeArmed);
  atc.dwelltime = 5000;
  atc.dwell = kDwelling;
  gHandles = {0, 3, 1, 0};
  SelectStopAndLimit(f);
  EXPECT_EQ(atc.finalsound, kChimeDisarmed);
  EXPECT_EQ(gHandles.brake, kBrakeHolding);  // held through the dwell
  EXPECT_EQ(gHandles.power, 0);
  // At the stop without platform doors the train is held as well.
  atc.dwell = kDwellNone;
  gHandles = {0, 3, 1, 0};
  gPanel[panel::kNoPlatformDoors] = 1;
  Frame at{1000, 0, 0};
  SelectStopAndLimit(at);
  EXPECT_EQ(gHandles.brake, kBrakeHolding);
  gHandles = {0, 3, 1, 0};
  gPanel[panel::kNoPlatformDoors] = 0;
  SelectStopAndLimit(at);
  EXPECT_EQ(gHandles.brake, 0);
}

TEST_F(Profile, TargetIsTheCurveWhereItGovernsAndZeroBeforeTheDeparture) {
  const struct {
    double limspd, curvespd;
    int32_t time;
    double tagspd;
  } cases[] = {{60, 40, 0, 40}, {60, 60, 0, 60}, {60, 70, 0, 60}, {60, NAN, 0, 60}};
  atc.proceedtime = 1000;
  for (const auto& c : cases) {
    Frame f{0, 0, c.time, 0, c.limspd, c.curvespd};
    ComputeTargetSpeed(f);
    EXPECT_EQ(atc.tagspd, c.tagspd) << c.curvespd;
  }
  for (int32_t time : {999, 1000}) {  // before the departure a zero curve zeroes the limit
    Frame f{0, 0, time, 0, 60, 0};
    ComputeTargetSpeed(f);
    EXPECT_EQ(f.limspd, time < 1000 ? 0 : 60);
  }
}

}  // namespace
