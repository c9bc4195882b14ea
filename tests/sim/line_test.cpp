// The host's frame timing on a two-station line through the real plug-in:
// the seed fixes the uneven frames, and a pause is one long frame. The other
// lines are files in lines/, each run by check_line.sh as its header says.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "call_log.h"
#include "fresh_library.h"
#include "host/simulator.h"
#include "scenario/reader.h"

namespace {

std::vector<std::string> Calls(uint64_t seed) {
  Scenario s = LoadScenario(CORVANE_TEST_DATA_DIR "/lines/two_stations.toml");
  s.timeStepJitter = 0.2;
  s.seed = seed;
  s.maxSeconds = 60;
  s.pauses.push_back({40, 2.5, 0});
  FreshLibrary();
  std::vector<std::string> log;
  RunScenario(s,
              RecordingApi(LinkedApi(), [&](const HostCall& c) { log.push_back(FormatCall(c)); }));
  return log;
}

TEST(LineTiming, TheSeedFixesTheFramesAndAPauseIsOneLongFrame) {
  const std::vector<std::string> first = Calls(5);
  EXPECT_EQ(first, Calls(5));
  EXPECT_NE(first, Calls(6));

  std::vector<int32_t> times;
  for (const std::string& line : first) {
    int32_t ms = 0;
    if (std::sscanf(line.c_str(), "Elapse %*f %*f %d", &ms) == 1) times.push_back(ms);
  }
  ASSERT_GT(times.size(), 2000u);
  int pauses = 0, shortest = 1000, longest = 0;
  for (size_t i = 1; i < times.size(); ++i) {
    const int32_t step = times[i] - times[i - 1];
    if (step == 2500) {
      ++pauses;
      EXPECT_NEAR(times[i - 1] - times[0], 40000, 20);
    } else {
      shortest = std::min(shortest, step);
      longest = std::max(longest, step);
    }
  }
  EXPECT_EQ(pauses, 1);
  EXPECT_EQ(shortest, 13);  // 1/60 s × 0.8, rounded to whole ms
  EXPECT_EQ(longest, 20);   // 1/60 s × 1.2
}

}  // namespace
