// Automatic driving, one pass of the driving step at a time: each table of
// notches in its own numbers, with the edges of its bands. A start-to-stand
// run through the exports closes the file.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "channels.h"
#include "corvane_frame.h"
#include "test_line.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int32_t kUnwritten = 42;  // a notch no rule writes

class DrivingStep : public PluginTest {
 protected:
  DrivingStep() {
    atc.trainmode = kModeAutomatic;
    gTrainspecs.brakeNotchCount = 8;
    gHandles = {kUnwritten, kUnwritten, 0, 0};
  }
  // One pass at speed v with the given deficit to the target; by default the
  // stopping curve is out of play (NaN) and the train far from a neutral section.
  ATS_HANDLES Drive(double v, double deficit, double curvespd = kNaN, double location = 5000) {
    atc.tagspd = v + deficit;
    DriveAutomatically(Frame{location, v, kEightAm, 0, 60, curvespd});
    return gHandles;
  }
};

// Columns: v at the target, then the deficit just above 0, 1, ... 7.
TEST_F(DrivingStep, CurveBrakingTable) {
  constexpr int32_t E = 9;  // the emergency position of an eight-notch train
  const struct {
    double a;
    int32_t notch[9];
  } rows[] = {
      {0.1, {5, 2, 2, 2, 2, 2, 2, 2, 2}}, {0.2, {6, 3, 2, 2, 2, 2, 2, 2, 2}},
      {0.3, {7, 4, 3, 3, 3, 3, 3, 3, 3}}, {0.5, {8, 5, 4, 4, 4, 4, 4, 4, 4}},
      {0.6, {8, 6, 5, 5, 5, 5, 5, 5, 5}}, {0.8, {8, 7, 6, 5, 4, 3, 2, 1, 0}},
      {0.9, {8, 8, 7, 7, 7, 7, 7, 7, 7}}, {1.2, {E, 8, 8, 8, 8, 8, 8, 8, 8}},
  };
  atc.braking = true;
  atc.decdis = 1e9;
  for (const auto& row : rows) {
    for (int column = 0; column < 9; ++column) {
      atc.dec = -row.a;
      const double deficit = column == 0 ? 0 : column - 0.5;
      EXPECT_EQ(Drive(50, deficit).brake, row.notch[column]) << row.a << " at " << deficit;
      EXPECT_EQ(gHandles.power, 0);
    }
  }
  // A deficit of exactly k is not above k.
  atc.dec = -0.8;
  for (int k = 1; k <= 7; ++k) EXPECT_EQ(Drive(50, k).brake, 8 - k) << k;
  EXPECT_EQ(Drive(50, 12).brake, 0);
  // On a bound, or a level curve, no row applies and the notch stays.
  for (double bound : {0.0, 0.143, 0.286, 0.429, 0.571, 0.714, 0.857, 1.0}) {
    gHandles.brake = kUnwritten;
    atc.dec = -bound;
    EXPECT_EQ(Drive(50, 0.5).brake, kUnwritten) << bound;
  }
}

TEST_F(DrivingStep, CurveBrakingEndsBelowTheFinalSpeedOrAtItsEnd) {
  const struct {
    int32_t rebrake;
    double v, location;
    bool chime;
    int32_t rebrakeAfter, rebraketime;
  } cases[] = {
      {kRebrakeChimeThenRebrake, 29.9, 0, true, kRebraking, kEightAm + 1000},
      {kRebrakeChimeOnly, 29.9, 0, true, kRebrakeNone, 0},
      {kRebrakeNone, 29.9, 0, false, kRebrakeNone, 0},
      {kRebrakeChimeThenRebrake, 45, 3000, true, kRebraking, kEightAm + 1000},
  };
  for (const auto& c : cases) {
    atc = AtcState{};
    atc.trainmode = kModeAutomatic;
    atc.braking = true;
    atc.dec = -0.5;
    atc.finalspd = 30;
    atc.decdis = 3000;
    atc.rebrake = c.rebrake;
    gSound[sound::kChime] = 0;
    EXPECT_EQ(Drive(c.v, 0, kNaN, c.location).brake, 0);
    EXPECT_FALSE(atc.braking);
    EXPECT_EQ(atc.maxspd, 30);
    EXPECT_EQ(atc.rebrake, c.rebrakeAfter);
    EXPECT_EQ(atc.rebraketime, c.rebraketime);
    EXPECT_EQ(gSound[sound::kChime], c.chime ? 1 : 0);
  }
  // At the final speed itself the curve still brakes.
  atc.braking = true;
  atc.dec = -0.5;
  EXPECT_EQ(Drive(30, 0, kNaN, 0).brake, 8);
  EXPECT_TRUE(atc.braking);
  // At walking pace the curve neither brakes nor ends.
  atc.braking = true;
  gHandles.brake = kUnwritten;
  EXPECT_EQ(Drive(1.0, 0, kNaN, 4000).brake, kUnwritten);
  EXPECT_TRUE(atc.braking);
}

// e = curve speed - v, met exactly at the bounds; at 3 no final braking yet.
TEST_F(DrivingStep, FinalBrakingByStyle) {
  const double e[] = {-0.5, -0.4, -0.3, -0.2, -0.1, -0.05, 0, 0.5, 1, 1.5, 2, 2.5, 2.99, 3};
  const int32_t byStyle[3][14] = {
      {8, 8, 8, 8, 8, 7, 7, 6, 6, 5, 5, 4, 4, kUnwritten},
      {8, 8, 8, 8, 8, 8, 8, 7, 7, 6, 6, 5, 5, kUnwritten},
      {8, 8, 7, 7, 6, 6, 6, 5, 5, 4, 4, 3, 3, kUnwritten},
  };
  for (int style = 1; style <= 3; ++style) {
    for (int i = 0; i < 14; ++i) {
      gHandles = {kUnwritten, 3, 0, 0};
      atc.finbaksty = style;
      atc.powering = true;
      atc.holdpwbk = kHoldConstantSpeed;
      const bool within = e[i] < 3;
      const double v = e[i] < 0 ? -e[i] : 30, curve = e[i] < 0 ? 0 : 30 + e[i];
      EXPECT_EQ(Drive(v, e[i], curve).brake, byStyle[style - 1][i]) << style << " " << e[i];
      EXPECT_EQ(gHandles.power, within ? 0 : 3);
      EXPECT_EQ(atc.powering, !within);
      EXPECT_EQ(atc.holdpwbk, within ? kHoldNormal : kHoldConstantSpeed);
    }
  }
  atc.finbaksty = 0;  // no style: the stopping curve does not brake
  atc.powering = false;
  atc.holdpwbk = kHoldNormal;
  gHandles.brake = kUnwritten;
  EXPECT_EQ(Drive(30, 0, 30).brake, kUnwritten);
}

TEST_F(DrivingStep, FinalBrakingSoundsTheArmedChimeOnce) {
  atc.finalsound = kChimeArmed;
  Drive(30, 0, 30);
  EXPECT_EQ(gSound[sound::kChime], 1);
  EXPECT_EQ(atc.finalsound, kChimePlayed);
  gSound[sound::kChime] = 0;
  Drive(30, 0, 30);
  EXPECT_EQ(gSound[sound::kChime], 0);
}

TEST_F(DrivingStep, ReBrakingThenRePoweringByTheDeficit) {
  const struct {
    double d;
    int32_t brake;
  } rebrake[] = {{-0.1, 7}, {0, 5},    {3.49, 5}, {3.5, 4}, {3.99, 4},
                 {4, 3},    {4.49, 3}, {4.5, 2},  {4.99, 2}};
  for (const auto& c : rebrake) {
    atc.rebrake = kRebraking;
    atc.rebraketime = kEightAm - 1;
    EXPECT_EQ(Drive(30, c.d).brake, c.brake) << c.d;
    EXPECT_EQ(atc.rebrake, kRebraking);
  }
  EXPECT_EQ(Drive(30, 5).brake, 0);
  EXPECT_EQ(atc.rebrake, kRepowering);
  EXPECT_EQ(atc.rebraketime, kEightAm + 1000);

  const struct {
    double d;
    int32_t power;
    bool done;
  } repower[] = {{5, 2, false}, {4, 2, false}, {3.99, 3, false}, {3, 3, false}, {2.99, 3, true}};
  for (const auto& c : repower) {
    atc.rebrake = kRepowering;
    atc.rebraketime = kEightAm - 1;
    atc.powering = false;
    EXPECT_EQ(Drive(30, c.d).power, c.power) << c.d;
    EXPECT_EQ(atc.rebrake, c.done ? kRebrakeNone : kRepowering);
    EXPECT_EQ(atc.powering, c.done);
  }
  // Both phases wait until their time has passed, and for a moving train.
  gHandles.brake = kUnwritten;
  atc.rebrake = kRebraking;
  atc.rebraketime = kEightAm;
  EXPECT_EQ(Drive(30, 0).brake, kUnwritten);
  atc.rebraketime = 0;
  EXPECT_EQ(Drive(1.0, 0).brake, kUnwritten);
}

TEST_F(DrivingStep, PowerBandsCoastingAndOverspeedBrake) {
  const struct {
    double v, d;
    int32_t hold, power, brake;
  } cases[] = {
      {40, 3, kHoldNormal, 4, 0},
      {40, 2.99, kHoldNormal, 3, 0},
      {40, 2, kHoldNormal, 3, 0},
      {40, 1.99, kHoldNormal, 2, 0},
      {40, 1, kHoldNormal, 2, 0},
      {40, 0.99, kHoldNormal, 1, 0},
      {40, 0.99, kHoldConstantSpeed, 2, 0},
      {75, 3, kHoldNormal, 4, 0},
      {75.1, 3, kHoldNormal, 3, 0},
      {90, 1, kHoldNormal, 3, 0},
      {90, 0.99, kHoldNormal, 2, 0},
      {90, 0.99, kHoldConstantSpeed, 2, 0},
      {100, 0.5, kHoldNormal, 2, 0},
      {100.1, 10, kHoldNormal, 3, 0},
      {100.1, 10, kHoldConstantSpeed, 3, 0},
      {1, 5, kHoldNormal, kUnwritten, kUnwritten},
      {40, -0.15, kHoldNormal, 1, 0},
      {40, -0.25, kHoldNormal, 0, 0},
      {4, -0.5, kHoldNormal, 1, 0},
      {40, -0.99, kHoldBrake, 1, 1},
      {40, -1, kHoldNormal, 0, 4},
      {40, -1, kHoldConstantSpeed, 0, 4},
  };
  for (const auto& c : cases) {
    gHandles = {kUnwritten, kUnwritten, 0, 0};
    atc.powering = true;
    atc.holdpwbk = c.hold;
    const ATS_HANDLES h = Drive(c.v, c.d);
    EXPECT_EQ(h.power, c.power) << c.v << " km/h, deficit " << c.d;
    EXPECT_EQ(h.brake, c.brake) << c.v << " km/h, deficit " << c.d;
  }
  // After coasting, powering resumes above 3 km/h under, from the next pass.
  atc.holdpwbk = kHoldNormal;
  atc.powering = false;
  EXPECT_EQ(Drive(40, 3).power, 0);
  EXPECT_FALSE(atc.powering);
  EXPECT_EQ(Drive(40, 3.01).power, 0);
  EXPECT_TRUE(atc.powering);
  EXPECT_EQ(Drive(40, 3.01).power, 4);
  atc.powering = false;
  Drive(4, 5);
  EXPECT_FALSE(atc.powering);
}

TEST_F(DrivingStep, BrakeHolding) {
  const struct {
    double d;
    int32_t brake;
    bool powering;
  } cases[] = {{0.2, 0, false}, {0.05, 1, false}, {-0.99, 1, false}, {-1, 3, false}};
  for (const auto& c : cases) {  // not powering: only the holding rule writes the brake
    gHandles.brake = kUnwritten;
    atc.holdpwbk = kHoldBrake;
    atc.powering = false;
    EXPECT_EQ(Drive(40, c.d).brake, c.brake) << c.d;
    EXPECT_EQ(atc.powering, c.powering) << c.d;
  }
  // Over the target, B7's power stays for this frame.
  atc.powering = true;
  EXPECT_EQ(Drive(40, -1.5).power, 1);
  EXPECT_EQ(gHandles.brake, 3);
  atc.rebrake = kRebraking;  // not while re-braking waits
  atc.rebraketime = INT32_MAX;
  gHandles.brake = kUnwritten;
  EXPECT_EQ(Drive(40, 0).brake, kUnwritten);
}

TEST_F(DrivingStep, ConstantSpeedHolding) {
  const struct {
    double s;
    int32_t constantBefore, power, constant;
    bool powering;
  } cases[] = {
      // s in steps of 1/16 km/h, exact in binary
      {0.5, 0, 2, 1, true},     {0.4375, 0, 2, 1, true},  {0.5625, 0, 2, 1, true},
      {0.375, 0, 0, 0, false},  {0.625, 0, 0, 0, false},  {0.875, 0, 0, 0, false},
      {0.9375, 1, 0, 2, false}, {-0.4375, 1, 2, 2, true}, {-0.4375, 0, 0, 0, true},
      {-0.375, 1, 0, 1, false},
  };
  for (const auto& c : cases) {
    gHandles = {0, 1, 0, c.constantBefore};
    atc.holdpwbk = kHoldConstantSpeed;
    atc.powering = false;
    const ATS_HANDLES h = Drive(40, -c.s);
    EXPECT_EQ(h.power, c.power) << c.s;
    EXPECT_EQ(h.constantSpeed, c.constant) << c.s;
    EXPECT_EQ(atc.powering, c.powering) << c.s;
  }
  atc.powering = true;  // well over the target the powering stops
  EXPECT_EQ(Drive(40, -0.9375).power, 0);
  EXPECT_FALSE(atc.powering);
  atc.holdpwbk = kHoldNormal;  // any other style releases the control
  EXPECT_EQ(Drive(40, 0).constantSpeed, 2);
}

TEST_F(DrivingStep, StartRampByHoldingStyle) {
  const double speeds[] = {0, 0.99, 1, 1.99, 2, 2.99, 3};
  const int32_t notch[2][7] = {{1, 1, 2, 2, 3, 3, 4}, {2, 2, 3, 3, 4, 4, 4}};
  for (int hold = 0; hold < 2; ++hold) {
    for (int i = 0; i < 7; ++i) {
      atc.startkey = true;
      atc.powering = true;
      atc.holdpwbk = hold;
      const ATS_HANDLES h = Drive(speeds[i], 30);
      EXPECT_EQ(h.power, notch[hold][i]) << hold << " at " << speeds[i];
      EXPECT_EQ(h.brake, 0);
      EXPECT_EQ(atc.startkey, speeds[i] < 3);
    }
  }
}

TEST_F(DrivingStep, StandingAndNeutralSection) {
  EXPECT_EQ(Drive(0, 30).brake, kBrakeHolding);
  EXPECT_EQ(gHandles.power, 0);  // not powering
  EXPECT_EQ(gHandles.reverser, 1);
  const struct {
    double at;
    int32_t power;
  } cases[] = {{0, 4}, {0.1, 1}, {74.9, 1}, {75, 4}, {100, 4}, {100.1, 1}, {174.9, 1}, {175, 4}};
  atc.nzlocation = 2000;
  for (const auto& c : cases) {
    atc.powering = true;
    EXPECT_EQ(Drive(40, 5, kNaN, 2000 + c.at).power, c.power) << c.at;
  }
  // Unattended, a standing train departs by itself 5 s after its time.
  atc.trainmode = kModeUnattended;
  atc.drivestate = kUnattendedArea;
  for (int32_t after : {4999, 5000}) {
    atc.startkey = false;
    atc.proceedtime = kEightAm - after;
    Drive(0, 30);
    EXPECT_EQ(atc.startkey, after >= 5000) << after;
  }
  atc.trainmode = kModeSupervisedManual;  // not driven at all
  gHandles = {kUnwritten, kUnwritten, 0, 0};
  EXPECT_EQ(Drive(0, 30).brake, kUnwritten);
}

// Through the exports: the start key, the run under the limit and the stop.
TEST_F(PluginTest, AutomaticRunFromTheStartKeyToTheStand) {
  ReadyAtStart(host, kModeAutomatic, 60, 2500);
  host.AddBeacon(1500, kBeaconStation, 6000000 + kEightAm / 1000 + 600);
  host.KeyDown(0);
  EXPECT_EQ(gHandles.power, 1);
  EXPECT_EQ(host.sound[0], 1);
  float highest = 0;
  ASSERT_TRUE(host.RunUntil([&] { return host.state.speed > 1; }, 5));
  ASSERT_TRUE(host.RunUntil(
      [&] {
        highest = std::max(highest, host.state.speed);
        return host.Stopped();
      },
      300));
  EXPECT_GT(highest, 58.0f);
  EXPECT_LT(highest, 61.2f);
  EXPECT_NEAR(host.state.location, 2500, 0.5);
  host.RunFor(2);
  EXPECT_EQ(host.handles.brake, kBrakeHolding);
}

}  // namespace
