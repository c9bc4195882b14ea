// The host's side of the lifecycle: the reserves and the array hand-over,
// and the options, indicators and panel conversions it sets up.
#include <gtest/gtest.h>

#include <cmath>

#include "confload.h"
#include "fixture.h"
#include "tools.h"
#include "traincontrol.h"

namespace {

using Lifecycle = PluginTest;

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
