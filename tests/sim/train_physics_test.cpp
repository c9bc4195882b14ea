// The train model by its physics: closed-form kinematics, lag, resistance,
// constant speed, grades under the train's length, fading traction, dead
// times, load and adhesion.
#include <gtest/gtest.h>

#include <cmath>

#include "model/auto_driving.h"
#include "model/dynamics.h"
#include "model/gain.h"

namespace {

constexpr ATS_HANDLES kCoast{0, 0, 1, 0}, kFullPower{0, 5, 1, 0};
constexpr double kDt = 1.0 / 60;

// Seconds from a stand to a speed at full power; the distance on the way.
std::pair<double, double> TimeTo(const Dynamics& d, double kmh, double location = 0) {
  TrainModel model(d);
  TrainMotion m{location, 0};
  double t = 0;
  for (; m.speed < kmh && t < 600; t += kDt) model.Step(m, kFullPower, kDt);
  return {t, m.location - location};
}

// Metres to a stand from a speed with a brake notch, on the level.
double StoppingDistance(const Dynamics& d, double kmh, int notch = 7, bool raining = false) {
  TrainModel model(d);
  model.SetRaining(raining);
  TrainMotion m{0, kmh};
  for (int i = 0; m.speed > 0 && i < 100000; ++i) model.Step(m, ATS_HANDLES{notch, 0, 1, 0}, kDt);
  return m.location;
}

Dynamics Bare() {
  Dynamics d;
  d.lagSeconds = 0;
  d.resistance = 0;
  return d;
}

TEST(TrainModel, ConstantNotchesFollowClosedFormKinematics) {
  Dynamics d;
  d.lagSeconds = 0;
  d.resistance = 0;
  TrainModel model(d);
  TrainMotion m{100, 0};
  const double dt = 1.0 / 60;
  for (int i = 0; i < 600; ++i) model.Step(m, ATS_HANDLES{0, 4, 1, 0}, dt);  // 10 s at notch 4
  const double a = 4 * d.accelPerNotch;                                      // km/h per second
  EXPECT_NEAR(m.speed, a * 10, 1e-9);
  EXPECT_NEAR(m.location, 100 + a / 3.6 * 100 / 2, 1e-6);

  TrainMotion braking = m;
  const double v0 = m.speed / 3.6, decel = d.decelByNotch[5] / 3.6;  // m/s, m/s²
  while (braking.speed > 0) model.Step(braking, ATS_HANDLES{5, 0, 1, 0}, dt);
  EXPECT_NEAR(braking.location - m.location, v0 * v0 / (2 * decel), 0.05);
  model.Step(braking, ATS_HANDLES{5, 0, 1, 0}, dt);
  EXPECT_EQ(braking.speed, 0);  // brakes never reverse the train
}

TEST(TrainModel, LagResistanceAndConstantSpeed) {
  Dynamics d;
  TrainModel model(d);
  TrainMotion m{0, 30};
  model.Step(m, ATS_HANDLES{0, 5, 1, 0}, 0.1);
  EXPECT_LT(m.speed, 30 + 5 * d.accelPerNotch * 0.1 * 0.5);  // the lag holds the response back
  TrainMotion coasting{0, 30};
  for (int i = 0; i < 100; ++i) model.Step(coasting, ATS_HANDLES{0, 0, 1, 0}, 0.1);
  EXPECT_LT(coasting.speed, 30);
  EXPECT_GT(coasting.speed, 29);

  TrainModel cruise(d);
  TrainMotion held{0, 50};
  for (int i = 0; i < 600; ++i) cruise.Step(held, ATS_HANDLES{0, 3, 1, 1}, 0.05);
  EXPECT_NEAR(held.speed, 50, 1.0);  // the host holds the engaged speed
  for (int i = 0; i < 100; ++i) cruise.Step(held, ATS_HANDLES{0, 3, 1, 2}, 0.05);
  EXPECT_GT(held.speed, 55);  // released: power accelerates again

  // The reverser put to neutral while powering: the power fades as the lag
  // lets it, still pulling forwards, never back.
  TrainModel neutral(d);
  TrainMotion fading{0, 30};
  for (int i = 0; i < 20; ++i) neutral.Step(fading, ATS_HANDLES{0, 5, 1, 0}, 0.05);
  const double powered = fading.speed;
  neutral.Step(fading, ATS_HANDLES{0, 5, 0, 0}, 0.05);
  EXPECT_GT(fading.speed, powered);
}

TEST(TrainModel, GradesPullTheTrainAndBrakesHoldItAtAStand) {
  Dynamics d;
  d.lagSeconds = 0;
  const ATS_HANDLES coast{0, 0, 1, 0}, braked{1, 0, 1, 0};
  TrainModel hills(d, {{1000, -10, 1}, {2000, 40, 2}, {3000, 0, 3}});
  EXPECT_EQ(hills.PermilleAt(999), 0);
  EXPECT_EQ(hills.PermilleAt(1000), -10);
  EXPECT_EQ(hills.PermilleAt(2500), 40);

  TrainMotion falling{1100, 30};
  for (int i = 0; i < 100; ++i) hills.Step(falling, coast, 0.01);  // one second
  EXPECT_NEAR(falling.speed, 30 + 0.353 - d.resistance, 0.002);

  TrainMotion parked{2500, 0};
  for (int i = 0; i < 1000; ++i) hills.Step(parked, braked, 0.01);
  EXPECT_EQ(parked.speed, 0);
  EXPECT_EQ(parked.location, 2500);

  // Released on 40 per mille rising, it rolls back down.
  TrainMotion rolling{2500, 0};
  for (int i = 0; i < 100; ++i) hills.Step(rolling, coast, 0.01);
  EXPECT_NEAR(rolling.speed, -(40 * kGradeKmhPerSecondPerPermille - d.resistance), 0.01);
  EXPECT_LT(rolling.location, 2500);
  // A light brake cannot stop it there; a full one does, and never drives it forwards.
  hills.Step(rolling, braked, 0.01);
  EXPECT_LT(rolling.speed, -1.1);
  for (int i = 0; i < 1000; ++i) hills.Step(rolling, ATS_HANDLES{8, 0, 1, 0}, 0.01);
  EXPECT_EQ(rolling.speed, 0);

  // Resistance alone holds the train on a grade gentler than itself.
  TrainModel gentle(d, {{0, 1, 1}});
  TrainMotion standing{10, 0};
  gentle.Step(standing, coast, 1);
  EXPECT_EQ(standing.speed, 0);
}

// Notch 1 starts the standing train up a rise just gentler than the
// steepest it gives, and not up one just steeper.
TEST(TrainModel, TheSteepestStartIsWhereNotchOneBalancesTheRise) {
  Dynamics d;
  d.lagSeconds = 0;
  const double steepest = TrainModel(d).SteepestStart(1);
  EXPECT_GT(steepest, 0);
  for (const auto& [permille, starts] :
       {std::pair{steepest - 0.5, true}, {steepest + 0.5, false}}) {
    TrainModel rise(d, {{0, permille, 1}});
    TrainMotion m{500, 0};
    for (int i = 0; i < 300; ++i) rise.Step(m, ATS_HANDLES{0, 1, 1, 0}, kDt);
    EXPECT_EQ(m.location > 500, starts) << permille;
  }
}

TEST(TrainModel, TractionFadesAboveTheBaseSpeedAsConstantPower) {
  Dynamics d = Bare();
  const double a = 5 * d.accelPerNotch;
  EXPECT_NEAR(TimeTo(d, 80).first, 80 / a, 2 * kDt);
  d.baseSpeed = 40;  // then a·40/v: v dv = a·40 dt
  EXPECT_NEAR(TimeTo(d, 80).first, 40 / a + (80 * 80 - 40 * 40) / (2 * a * 40), 2 * kDt);
}

TEST(TrainModel, ResistanceGrowsWithSpeed) {
  Dynamics d = Bare();
  d.resistance = 0.05;
  d.resistanceLinear = 0.002;
  d.resistanceQuadratic = 0.0001;
  for (double v : {20.0, 60.0, 100.0}) {
    TrainModel model(d);
    TrainMotion m{0, v};
    model.Step(m, kCoast, 0.001);
    EXPECT_NEAR((v - m.speed) / 0.001, 0.05 + 0.002 * v + 0.0001 * v * v, 1e-6) << v;
  }
}

TEST(TrainModel, DeadTimesDelayApplyingAndReleasing) {
  Dynamics d = Bare();
  const double plain = StoppingDistance(d, 60);
  d.brakeDelaySeconds = 0.5;
  EXPECT_NEAR(StoppingDistance(d, 60) - plain, 60 / 3.6 * 0.5, 0.2);  // v × the delay

  d.powerDelaySeconds = 0.8;
  TrainModel model(d);
  TrainMotion m{0, 0};
  for (int i = 0; i < 47; ++i) model.Step(m, kFullPower, kDt);  // 0.78 s: not yet
  EXPECT_EQ(m.speed, 0);
  for (int i = 0; i < 60; ++i) model.Step(m, kFullPower, kDt);
  EXPECT_GT(m.speed, 0);
  for (int i = 0; i < 29; ++i) model.Step(m, ATS_HANDLES{7, 0, 1, 0}, kDt);  // applying waits
  const double before = m.speed;
  model.Step(m, ATS_HANDLES{7, 0, 1, 0}, kDt);
  EXPECT_GE(m.speed, before);
}

TEST(TrainModel, TheGradeActsWithItsMeanUnderTheWholeTrain) {
  Dynamics d = Bare();
  d.lengthMetres = 160;
  TrainModel fall(d, {{1000, -20, 1}});
  EXPECT_EQ(fall.PermilleUnder(1000), 0);
  EXPECT_NEAR(fall.PermilleUnder(1040), -5, 1e-12);  // a quarter of the train on the fall
  EXPECT_NEAR(fall.PermilleUnder(1160), -20, 1e-12);
  TrainModel hills(d, {{0, 10, 1}, {100, -30, 2}, {200, 0, 3}});
  EXPECT_NEAR(hills.PermilleUnder(180), (80 * 10 + 80 * -30) / 160.0, 1e-12);  // rear at 20 m

  TrainMotion m{1040, 30};
  fall.Step(m, kCoast, 0.001);
  EXPECT_NEAR((m.speed - 30) / 0.001, 5 * kGradeKmhPerSecondPerPermille, 1e-6);
}

TEST(TrainModel, LoadSlowsTheStartNotTheStop) {
  Dynamics empty = Bare(), full = Bare();
  full.load = 1;
  full.loadMass = 0.5;
  EXPECT_NEAR(TimeTo(full, 60).first, 1.5 * TimeTo(empty, 60).first, 2 * kDt);
  EXPECT_NEAR(StoppingDistance(full, 60), StoppingDistance(empty, 60), 1e-9);
}

TEST(TrainModel, AdhesionCapsBrakingAndAWetRailLengthensTheStop) {
  Dynamics d = Bare();
  d.adhesion = 0.15;     // 5.3 km/h/s: more than notch 7's 3.2
  d.wetAdhesion = 0.05;  // 1.77 km/h/s
  const double dry = StoppingDistance(d, 60), wet = StoppingDistance(d, 60, 7, true);
  EXPECT_NEAR(dry, StoppingDistance(Bare(), 60), 1e-9);
  const double grip = 0.05 * 9.80665;  // m/s²
  EXPECT_NEAR(wet, std::pow(60 / 3.6, 2) / (2 * grip), 0.2);
  EXPECT_GT(wet, dry);
  d.adhesion = 0.05;  // and traction: full power would be 4.5 km/h/s
  EXPECT_NEAR(TimeTo(d, 60).first, 60 / (0.05 * 9.80665 * 3.6), 2 * kDt);
}

}  // namespace

// The gain a braking curve is placed by is never below the speed the train
// reaches under automatic driving's power, through its lag, on a rise, a
// fall and the level, and stays near it; a limit holds it, and a running
// start gains from its speed.
TEST(Gain, BoundsTheTrainsOwnGainFromAStandAndHoldsALimit) {
  Dynamics d;
  d.lengthMetres = 120;
  d.resistanceQuadratic = 0.0001;
  d.baseSpeed = 40;
  const std::vector<Gradient> grades = {{300, 25, 0}, {700, -30, 0}, {1100, 0, 0}};
  const Gain gain(d, grades, 100, 1600, 0, [](double) { return INFINITY; });
  TrainModel model(d, grades);
  TrainMotion m{100, 0};
  double closest = INFINITY, over = 0;
  while (m.location < 1600) {
    model.Step(m, ATS_HANDLES{0, auto_driving::PowerNotch(m.speed, INFINITY), 1, 0}, kDt);
    over = std::max(over, m.speed - gain.At(m.location));
    if (m.location > 400) closest = std::min(closest, gain.At(m.location) - m.speed);
  }
  EXPECT_LT(over, 0.2);  // automatic driving's lower notch above 75 km/h acts through the lag
  EXPECT_LT(closest, 2.0);
  const Gain level(d, {}, 100, 1600, 0, [](double) { return INFINITY; });
  EXPECT_LT(gain.At(650), level.At(650) - 2);  // the rise holds it back
  EXPECT_EQ(gain.At(100), 0);
  EXPECT_EQ(gain.At(1600 + 1), INFINITY);  // not followed there
  EXPECT_EQ(Gain(d, {}, 0, 1e8, 0, [](double) { return 30.0; }).At(Gain::kFarthest + 2), INFINITY);

  const Gain held(d, {}, 0, 1000, 0, [](double x) { return x < 500 ? 30.0 : 50.0; });
  EXPECT_EQ(held.At(400), 30);
  EXPECT_GT(held.At(520), 30);
  EXPECT_EQ(held.At(900), 50);
  const Gain running(d, {}, 0, 100, 45, [](double) { return INFINITY; });
  EXPECT_EQ(running.At(0), 45);
  EXPECT_GT(running.At(50), 45);
}
