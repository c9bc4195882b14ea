// Rain and the wiper as they appear on the panels: drops gathering at the
// rate of the rain beacons, the blade's sweeps in each mode, the keys, and
// options or beacons outside their ranges.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "confload.h"
#include "fixture.h"

namespace {

constexpr int32_t kBlade = 80;
constexpr int32_t kFirstDrop = 200;
constexpr int32_t kDrops = 50;
constexpr int32_t kDropSound = 20;
constexpr int32_t kWiperSwitch = 13;

class Windshield : public PluginTest {
 protected:
  // Started, with a first frame at a time that is not 0 (a tOn timer of 0
  // reads as not started) so that keys write to the host's sound array.
  Windshield() {
    host.Start();
    host.moving = false;
    host.state.time = 8 * 3600 * 1000;
    host.Frame();
  }
  int ShownDrops() const {
    return static_cast<int>(
        std::count(host.panel + kFirstDrop, host.panel + kFirstDrop + kDrops, 1));
  }
  void Rain(int32_t rate) { host.Beacon(kBeaconRain, rate); }
  // Blade positions, one per frame, over the given time.
  std::vector<int32_t> Sweep(double seconds) {
    std::vector<int32_t> positions;
    for (int n = static_cast<int>(seconds * 50); n > 0; --n) {
      host.Frame();
      positions.push_back(host.panel[kBlade]);
    }
    return positions;
  }
  // Frame times at which the drop sound was written.
  std::vector<int32_t> DropTimes(double seconds) {
    std::vector<int32_t> times;
    for (int n = static_cast<int>(seconds * 50); n > 0; --n) {
      host.sound[kDropSound] = 0;
      const int32_t now = host.state.time;
      host.Frame();
      if (host.sound[kDropSound] == 1) times.push_back(now);
    }
    return times;
  }
};

TEST_F(Windshield, ContinuousWiperSweepsTwoStepsAFrameBetweenTheEnds) {
  EXPECT_EQ(host.panel[kBlade], 0);  // the first frame only starts the timer
  host.KeyDown(3);
  host.KeyDown(3);
  ASSERT_EQ(windshield.wiperMode, kWiperContinuous);
  const std::vector<int32_t> p = Sweep(4);
  for (size_t i = 1; i < p.size(); ++i) EXPECT_EQ(std::abs(p[i] - p[i - 1]), 2) << i;
  EXPECT_EQ(*std::min_element(p.begin(), p.end()), 0);
  EXPECT_EQ(*std::max_element(p.begin(), p.end()), 100);
  EXPECT_EQ(std::count(p.begin(), p.end(), 0), 2);  // a cycle takes 2 s
}

TEST_F(Windshield, IntermittentWiperPausesAtRestAndOffParksIt) {
  host.KeyDown(3);
  ASSERT_EQ(windshield.wiperMode, kWiperIntermittent);
  const std::vector<int32_t> p = Sweep(10);
  EXPECT_LT(p[2], 100);  // the first sweep starts without a pause
  const auto firstBottom = std::find(p.begin(), p.end(), 0);
  const auto secondBottom = std::find(firstBottom + 1, p.end(), 0);
  ASSERT_NE(secondBottom, p.end());
  EXPECT_NEAR((secondBottom - firstBottom) * 20, 2000 + 3000, 40);  // sweep plus pause

  host.KeyDown(4);
  ASSERT_EQ(windshield.wiperMode, kWiperOff);
  const std::vector<int32_t> parked = Sweep(3);
  EXPECT_EQ(parked.back(), 100);
  EXPECT_EQ(parked[parked.size() - 2], 100);
}

TEST_F(Windshield, RainGathersDropsAtItsRateUntilItStops) {
  gOpts[optDropSound].value = kDropSound;
  EXPECT_TRUE(DropTimes(30).empty());  // dry until a rain beacon
  Rain(10);                            // a drop every 2 s on average, 1.2 s to 2.8 s apart
  const std::vector<int32_t> t = DropTimes(400);
  EXPECT_EQ(t.front(), host.state.time - 400 * 1000);  // the first is due at once
  EXPECT_GT(t.size(), 180u);
  EXPECT_LT(t.size(), 220u);
  for (size_t i = 1; i < t.size(); ++i) {
    EXPECT_GE(t[i] - t[i - 1], 1200 - 20) << i;
    EXPECT_LE(t[i] - t[i - 1], 2799 + 20) << i;
  }
  EXPECT_EQ(ShownDrops(), kDrops - windshield.unusedDrops);
  EXPECT_GT(ShownDrops(), 30);  // the wiper is off, so most spots are wet

  Rain(0);
  const int before = ShownDrops();
  EXPECT_TRUE(DropTimes(60).empty());
  EXPECT_EQ(ShownDrops(), before);  // drops stay until wiped
}

TEST_F(Windshield, HeavyRainUsesTheMeanIntervalWithoutSpread) {
  gOpts[optDropSound].value = kDropSound;
  for (int32_t rate : {8001, 20000, INT_MAX}) {
    Rain(rate);
    const std::vector<int32_t> t = DropTimes(2);
    EXPECT_EQ(t.size(), 100u) << rate;  // due every frame
    EXPECT_GE(windshield.dropInterval, 0) << rate;
  }
  for (int32_t rate : {0, -1, INT_MIN}) {
    Rain(rate);
    EXPECT_TRUE(DropTimes(5).empty()) << rate;
  }
}

TEST_F(Windshield, DropSoundOffsetsComeFromTheExtraOnlyWhenItIsAPositiveRange) {
  gOpts[optDropSound].value = kDropSound;
  int32_t range = 0;
  gOpts[optDropSound].extra = &range;
  Rain(8000);
  host.RunFor(1);
  for (int i = 0; i < kChannelCount; ++i) {
    if (i != kDropSound && i != kWiperSwitch) EXPECT_NE(host.sound[i], 1) << i;
  }
  range = 4;
  host.ClearSounds();
  host.RunFor(5);
  for (int i = kDropSound; i < kDropSound + 4; ++i) EXPECT_EQ(host.sound[i], 1) << i;
  EXPECT_EQ(host.sound[kDropSound + 4], 0);
  gOpts[optDropSound].extra = nullptr;
}

TEST_F(Windshield, PanelsOutsideTheArrayAreNeverWritten) {
  gOpts[optDropPanelCount].value = 1000;
  gOpts[optWiperPanel].value = 300;
  host.Start();  // Initialize resets the options: set them again after it
  gOpts[optDropPanelCount].value = 1000;
  gOpts[optWiperPanel].value = 300;
  InitWindshield();
  EXPECT_EQ(gOpts[optDropPanelCount].value, 256);
  host.KeyDown(3);
  host.KeyDown(3);
  Rain(8000);
  // Drops land on 200..455, of which only 200..255 exist; the sanitizer
  // build reports any write beyond the arrays.
  host.RunFor(60);
  EXPECT_TRUE(std::all_of(host.panel + kFirstDrop, host.panel + kChannelCount,
                          [](int32_t v) { return v == 0 || v == 1; }));
  EXPECT_GT(std::count(host.panel + kFirstDrop, host.panel + kChannelCount, 1), 0);

  gOpts[optDropPanelCount].value = -5;
  gOpts[optWiperPanel].value = kBlade;
  InitWindshield();
  EXPECT_EQ(gOpts[optDropPanelCount].value, 0);
  std::fill(std::begin(host.panel), std::end(host.panel), 0);
  host.KeyDown(3);
  host.KeyDown(3);
  host.RunFor(1);
  EXPECT_NE(host.panel[kBlade], 0);  // the blade still moves without drops
  EXPECT_EQ(std::count(host.panel + kFirstDrop, host.panel + kChannelCount, 1), 0);
}

}  // namespace
