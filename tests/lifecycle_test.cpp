// The host's side of the lifecycle: reserves, array hand-over, initialisation,
// disposal, and the options, timer and scaffolding it sets up.
#include <gtest/gtest.h>

#include <cmath>

#include "confload.h"
#include "fixture.h"
#include "tools.h"
#include "traincontrol.h"

namespace {

using Lifecycle = PluginTest;

TEST_F(Lifecycle, VersionIsTheSameInEveryState) {
  EXPECT_EQ(GetPluginVersion(), 131072);
  host.Start();
  host.Frame();
  Dispose();
  EXPECT_EQ(GetPluginVersion(), 131072);
}

// Writes go to the reserves until the host hands over arrays; a new array,
// a null one, Initialize and Load each switch as a host relies on.
TEST_F(Lifecycle, ArraysAndReserves) {
  host.Start();
  atc.trainmode = kModeAutomatic;
  host.Beacon(kBeaconSpeedLimit, 60);  // chime into the sound reserve
  EXPECT_EQ(memSoundReserve[4], 1);
  std::fill(std::begin(host.sound), std::end(host.sound), 77);
  host.Frame();
  EXPECT_EQ(host.sound[4], 1);
  EXPECT_EQ(host.sound[200], kSoundSilent);
  EXPECT_EQ(host.panel[199], 0);

  host.panel[100] = 42;  // only in the old host array
  int32_t panel[kChannelCount], sound[kChannelCount];
  std::fill(std::begin(panel), std::end(panel), 5);
  Elapse(host.state, panel, sound);
  EXPECT_EQ(panel[100], 0);
  EXPECT_EQ(gPanel, panel);

  Elapse(host.state, nullptr, nullptr);
  EXPECT_EQ(gPanel, memPanelReserve);
  EXPECT_EQ(gSound, memSoundReserve);
  host.Frame();
  Initialize(0);
  EXPECT_EQ(gPanel, memPanelReserve);
  host.KeyDown(5);  // sounds into the reserve until the next frame
  EXPECT_EQ(host.sound[10], kSoundSilent);
  host.Frame();
  EXPECT_EQ(host.sound[10], 1);
  Load();
  EXPECT_EQ(gPanel, memPanelReserve);
}

TEST_F(Lifecycle, InitializeWaitsForTheVehicleAndSetsTheDriversBrake) {
  Load();
  Initialize(2);
  EXPECT_FALSE(initialized);
  EXPECT_EQ(gOpts[48].value, 0);
  SetVehicleSpec({8, 5, 0, 0, 4});
  EXPECT_TRUE(initialized);
  EXPECT_EQ(gDriver.brake, 0);  // mode 2 releases
  EXPECT_EQ(gOpts[48].value, 80);
  FreshLibrary();
  Load();
  SetVehicleSpec({8, 5, 0, 0, 4});
  EXPECT_EQ(gDriver.brake, 9);  // the first initialisation uses mode 1
  const struct {
    int32_t brakeNotches, mode, brake;
  } cases[] = {{8, 1, 9}, {8, 0, 8}, {4, 1, 5}, {4, 0, 4}, {-5, 1, -4}, {INT32_MAX, 1, INT32_MIN}};
  for (const auto& c : cases) {
    const int32_t kept = gDriver.brake;
    SetVehicleSpec({c.brakeNotches, 5, 0, 0, 4});  // only replaces the vehicle data
    EXPECT_EQ(gDriver.brake, kept);
    Initialize(c.mode);
    EXPECT_EQ(gDriver.brake, c.brake) << c.brakeNotches << " mode " << c.mode;
  }
}

TEST_F(Lifecycle, LockTablesAreSizedSafelyAndReleasedOnce) {
  Dispose();  // nothing to release yet
  host.Start();
  ASSERT_NE(powerLock, nullptr);
  for (int i = 0; i <= 5; ++i) EXPECT_EQ(powerLock[i], 0);
  for (int i = 0; i <= 9; ++i) EXPECT_EQ(brakeLock[i], 0);
  Dispose();
  EXPECT_EQ(powerLock, nullptr);
  EXPECT_EQ(brakeLock, nullptr);
  Dispose();
  SetVehicleSpec({-5, -1, 0, 0, 0});
  Initialize(1);
  EXPECT_EQ(powerLock, nullptr);
  EXPECT_EQ(brakeLock, nullptr);
  Dispose();
  SetVehicleSpec({INT32_MAX, 1023, 0, 0, 0});  // gigabytes of table for a nonsense train
  Initialize(1);
  EXPECT_EQ(brakeLock, nullptr);
  EXPECT_NE(powerLock, nullptr);  // 1024 entries is the most a table gets
  const struct {
    int32_t brakeNotches, powerNotches;
    bool brakeTable, powerTable;
  } limits[] = {{1022, 1024, true, false}, {1023, 1023, false, true}};
  for (const auto& c : limits) {
    Dispose();
    SetVehicleSpec({c.brakeNotches, c.powerNotches, 0, 0, 0});
    Initialize(1);
    EXPECT_EQ(brakeLock != nullptr, c.brakeTable) << c.brakeNotches;  // notches + 2 entries
    EXPECT_EQ(powerLock != nullptr, c.powerTable) << c.powerNotches;  // notches + 1 entries
  }
}

TEST_F(Lifecycle, InitializeKeepsTheHandlesAndTheTrainControlState) {
  host.Start();
  atc.trainmode = kModeSupervisedManual;
  atc.door = false;
  host.moving = false;
  host.SetPower(3);
  host.SetBrake(2);
  host.Beacon(kBeaconStation, 8036000);
  host.Beacon(kBeaconLocation, 17);
  EXPECT_EQ(host.Frame().power, 3);
  const AtcState before = atc;
  Initialize(0);
  const ATS_HANDLES h = host.Frame();
  EXPECT_EQ(h.power, 3);
  EXPECT_EQ(h.brake, 2);
  EXPECT_EQ(atc.dwelltime, before.dwelltime);
  EXPECT_EQ(atc.finbak, 3);
  EXPECT_EQ(atc.maxspd, 80);
}

TEST(Options, DefaultsAreRestoredWhateverWasWritten) {
  SetDefaults();
  const int32_t expected[] = {80, 1000, 100, 3000, 3, 4, -1, 200, 50, -1};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(gOpts[48 + i].value, expected[i]) << 48 + i;
  int32_t extra = 3;
  gOpts[56] = {7, &extra};
  SetDefaults();
  EXPECT_EQ(gOpts[56].value, 50);
  EXPECT_EQ(gOpts[56].extra, nullptr);
  EXPECT_TRUE(pointersNullified);
}

TEST(Timer, ReportsEachElapsedPeriodOnceAcrossTheWrap) {
  const struct {
    int32_t timer, now;
    bool due;
    int32_t after;
  } cases[] = {{0, 555, false, 555},
               {1000, 1009, false, 1000},
               {1000, 1010, true, 1010},
               {1010, 1035, true, 1020},
               {1030, 1035, false, 1030},
               {1030, 900, false, 1030},
               {INT32_MAX - 5, INT32_MIN + 4, true, INT32_MIN + 4}};
  for (const auto& c : cases) {
    int32_t timer = c.timer;
    EXPECT_EQ(tOn(timer, c.now, 10), c.due) << c.timer << " at " << c.now;
    EXPECT_EQ(timer, c.after) << c.timer << " at " << c.now;
  }
}

TEST(Indicator, BlinksOnlyWithABlinkTime) {
  Load();
  SetDefaults();
  int32_t blinkMs = 100;
  gOpts[10] = {90, &blinkMs};
  Indicator lamp = NewIndicator(10, 7);
  gState.time = 1000;
  ShowIndicator(lamp);
  EXPECT_EQ(gPanel[90], 0);
  lamp.blinkTimer = 0;
  ShowIndicator(lamp);  // starts the blink timer
  gState.time = 1100;
  ShowIndicator(lamp);
  EXPECT_EQ(gPanel[90], 7);
  gOpts[10].extra = nullptr;
  gState.time = 1300;
  ShowIndicator(lamp);
  EXPECT_EQ(gPanel[90], 7);
  gOpts[10].value = -1;
  lamp.on = false;
  ShowIndicator(lamp);
  EXPECT_EQ(gPanel[90], 7);
}

TEST(Conversions, PanelValuesTruncateAndSaturate) {
  const struct {
    double x;
    int32_t value;
  } cases[] = {{45.9, 45}, {-45.9, -45}, {NAN, 0}, {1e300, INT32_MAX}, {-HUGE_VAL, INT32_MIN}};
  for (const auto& c : cases) EXPECT_EQ(TruncToInt32(c.x), c.value) << c.x;
  EXPECT_EQ(WrapAdd(INT32_MAX, 1), INT32_MIN);
}

}  // namespace
