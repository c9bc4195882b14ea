// The host's side of the lifecycle: reserves, array hand-over, initialisation,
// disposal, and the options, timer and scaffolding it sets up.
#include <gtest/gtest.h>

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
  EXPECT_EQ(GetPluginVersion(), 131072);
  Dispose();
  EXPECT_EQ(GetPluginVersion(), 131072);
}

TEST_F(Lifecycle, FirstFrameReceivesTheReservesWithBeaconWritesMadeBeforeIt) {
  host.Start();
  atc.trainmode = kModeAutomatic;
  host.Beacon(kBeaconSpeedLimit, 60);  // chime into the sound reserve
  EXPECT_EQ(memSoundReserve[4], 1);
  EXPECT_EQ(memSoundReserve[5], kSoundSilent);
  std::fill(std::begin(host.sound), std::end(host.sound), 77);
  host.Frame();
  EXPECT_EQ(host.sound[4], 1);
  EXPECT_EQ(host.sound[200], kSoundSilent);
  EXPECT_EQ(host.panel[199], 0);
}

TEST_F(Lifecycle, NewArraysGetTheReservesNotTheOldArrays) {
  host.Start();
  host.Frame();
  host.panel[100] = 42;  // only in the old host array
  int32_t panel[kChannelCount], sound[kChannelCount];
  std::fill(std::begin(panel), std::end(panel), 5);
  Elapse(host.state, panel, sound);
  EXPECT_EQ(panel[100], 0);
  EXPECT_EQ(sound[100], kSoundSilent);
  EXPECT_EQ(gPanel, panel);
}

TEST_F(Lifecycle, InitializeSendsWritesToTheReserveUntilTheNextFrame) {
  host.Start();
  host.Frame();
  Initialize(0);
  EXPECT_EQ(gPanel, memPanelReserve);
  host.KeyDown(5);  // sounds into the reserve
  EXPECT_EQ(host.sound[10], kSoundSilent);
  host.Frame();
  EXPECT_EQ(host.sound[10], 1);
  EXPECT_EQ(gSound, host.sound);
}

TEST_F(Lifecycle, NullArraysKeepWritingToTheReserve) {
  host.Start();
  host.Frame();
  Elapse(host.state, nullptr, nullptr);
  EXPECT_EQ(gPanel, memPanelReserve);
  EXPECT_EQ(gSound, memSoundReserve);
  EXPECT_EQ(memPanelReserve[70], kModeUnattended);
  host.Frame();  // real arrays again: they receive the reserve
  EXPECT_EQ(host.panel[70], kModeUnattended);
  Load();  // a new load writes to the reserve again
  EXPECT_EQ(gPanel, memPanelReserve);
}

TEST_F(Lifecycle, InitializeBeforeTheVehicleDataWaitsForIt) {
  Load();
  Initialize(2);
  EXPECT_FALSE(initialized);
  EXPECT_EQ(gOpts[48].value, 0);
  SetVehicleSpec({8, 5, 0, 0, 4});
  EXPECT_TRUE(initialized);
  EXPECT_EQ(gDriver.brake, 0);  // mode 2 releases
  EXPECT_EQ(gOpts[48].value, 80);
}

TEST_F(Lifecycle, InitialBrakeModeAndLockTablesFollowTheVehicle) {
  Load();
  SetVehicleSpec({8, 5, 0, 0, 4});
  EXPECT_EQ(gDriver.brake, 9);  // the first initialisation uses mode 1
  Initialize(0);
  EXPECT_EQ(gDriver.brake, 8);
  ASSERT_NE(powerLock, nullptr);
  for (int i = 0; i <= 5; ++i) EXPECT_EQ(powerLock[i], 0);
  for (int i = 0; i <= 9; ++i) EXPECT_EQ(brakeLock[i], 0);
  SetVehicleSpec({4, 3, 0, 0, 4});  // only replaces the vehicle data
  EXPECT_EQ(gDriver.brake, 8);
  Initialize(1);
  EXPECT_EQ(gDriver.brake, 5);
}

TEST_F(Lifecycle, RepeatedDisposeAndReinitialisationReleaseEachTableOnce) {
  Dispose();  // nothing to release yet
  host.Start();
  Dispose();
  EXPECT_EQ(powerLock, nullptr);
  Dispose();
  Load();
  Initialize(0);
  ASSERT_NE(brakeLock, nullptr);
  Dispose();
  EXPECT_EQ(brakeLock, nullptr);
}

TEST_F(Lifecycle, NonsensicalNotchCountsAllocateNothing) {
  Load();
  SetVehicleSpec({-5, -1, 0, 0, 0});
  EXPECT_EQ(powerLock, nullptr);
  EXPECT_EQ(brakeLock, nullptr);
  EXPECT_EQ(gDriver.brake, -4);
  Dispose();
  SetVehicleSpec({INT32_MAX, 1023, 0, 0, 0});  // gigabytes of table for a nonsense train
  Initialize(1);
  EXPECT_EQ(brakeLock, nullptr);
  EXPECT_NE(powerLock, nullptr);  // 1024 entries is the most a table gets
  EXPECT_EQ(gDriver.brake, INT32_MIN);
}

TEST_F(Lifecycle, HandlesPersistBetweenFramesAndInitialize) {
  host.Start();
  atc.trainmode = kModeSupervisedManual;
  atc.door = false;
  host.moving = false;
  host.SetPower(3);
  host.SetBrake(2);
  EXPECT_EQ(host.Frame().power, 3);
  Initialize(0);
  const ATS_HANDLES h = host.Frame();
  EXPECT_EQ(h.power, 3);
  EXPECT_EQ(h.brake, 2);
  EXPECT_EQ(host.panel[37], 3);
}

TEST_F(Lifecycle, InitializeLeavesTheTrainControlStateAlone) {
  host.Start();
  host.Beacon(kBeaconStation, 8036000);
  host.Beacon(kBeaconLocation, 17);
  const AtcState before = atc;
  Initialize(0);
  EXPECT_EQ(atc.dwelltime, before.dwelltime);
  EXPECT_EQ(atc.finbak, 3);
  EXPECT_EQ(atc.maxspd, 80);
}

TEST(Options, DefaultsAreRestoredWhateverWasWritten) {
  SetDefaults();
  const int32_t expected[] = {80, 1000, 100, 3000, 3, 4, -1, 200, 50, -1};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(gOpts[48 + i].value, expected[i]) << 48 + i;
  EXPECT_EQ(gOpts[99].value, -55);
  EXPECT_EQ(gOpts[123].value, -1);
  int32_t extra = 3;
  gOpts[56] = {7, &extra};
  SetDefaults();
  EXPECT_EQ(gOpts[56].value, 50);
  EXPECT_EQ(gOpts[56].extra, nullptr);
  EXPECT_TRUE(pointersNullified);
}

TEST(Timer, ReportsEachElapsedPeriodOnce) {
  int32_t timer = 0;
  EXPECT_FALSE(tOn(timer, 555, 10));
  EXPECT_EQ(timer, 555);
  timer = 1000;
  EXPECT_FALSE(tOn(timer, 1009, 10));
  EXPECT_TRUE(tOn(timer, 1010, 10));
  EXPECT_EQ(timer, 1010);
  EXPECT_TRUE(tOn(timer, 1035, 10));
  EXPECT_TRUE(tOn(timer, 1035, 10));
  EXPECT_FALSE(tOn(timer, 1035, 10));
  EXPECT_FALSE(tOn(timer, 900, 10));  // earlier than the timer
  EXPECT_EQ(timer, 1030);
}

TEST(Timer, WrapsAtTheEndOfTheInt32Range) {
  int32_t timer = INT32_MAX - 5;
  EXPECT_TRUE(tOn(timer, INT32_MIN + 4, 10));  // 10 ms later, across the wrap
  EXPECT_EQ(timer, INT32_MIN + 4);
  EXPECT_EQ(WrapAdd(INT32_MAX, 1), INT32_MIN);
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
  EXPECT_EQ(TruncToInt32(45.9), 45);
  EXPECT_EQ(TruncToInt32(-45.9), -45);
  EXPECT_EQ(TruncToInt32(std::nan("")), 0);
  EXPECT_EQ(TruncToInt32(1e300), INT32_MAX);
  EXPECT_EQ(TruncToInt32(-HUGE_VAL), INT32_MIN);
}

}  // namespace
