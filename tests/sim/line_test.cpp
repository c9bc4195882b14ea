// The line as it is, through the real plug-in: grades, the host's frame
// timing, why runs end and stops are missed, and the driver's correction of
// a short stop. Each case is a two-station line made to behave one way.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "call_log.h"
#include "fresh_library.h"
#include "simulator.h"
#include "summary.h"

namespace {

std::string ModeDown() {
  std::string keys;
  for (int i = 1; i <= 5; ++i) keys += fmt::format("[[action]]\ntime = {}\nkey = 2\n", i * 0.1);
  return keys;
}

// Standing at Alder (500 m) in automatic mode; Birchfield at 1800 m with the
// given location code; `run`, `doors` and `extra` add keys and tables.
std::string TwoStations(int code, const std::string& run = "", const std::string& doors = "",
                        const std::string& extra = "") {
  return fmt::format(R"(
[run]
start_location = 500
start_time = "08:00:00"
end_location = 2000
{}
[doors]
{}
[[station]]
name = "Alder"
stop = 500
departure = "08:00:30"
[[station]]
name = "Birchfield"
stop = 1800
[[action]]
time = 0
brake = 8
{}
[[beacon]]
location = 500
type = 13
optional = 12
[[beacon]]
location = 500
type = 14
optional = 200072
[[beacon]]
location = 500
type = 15
optional = 60
[[beacon]]
location = 500
type = 12
optional = 6028830
[[beacon]]
location = 1400
type = 14
optional = 720072
[[beacon]]
location = 1450
type = 13
optional = {}
[[beacon]]
location = 1500
type = 12
optional = 6028980
{}
)",
                     run, doors, ModeDown(), code, extra);
}

RunResult Drive(const std::string& text, std::vector<std::string>* log = nullptr) {
  FreshLibrary();
  static std::list<Scenario> kept;  // results point at their stations
  const Scenario& s = kept.emplace_back(ParseScenario(text, "line.toml"));
  PluginApi api = LinkedApi();
  if (log) api = RecordingApi(api, [&](const HostCall& c) { log->push_back(FormatCall(c)); });
  return RunScenario(s, api);
}

double Error(const RunResult& run, size_t stop) {
  return run.stops.at(stop).stoppedAt.value_or(1e9) - run.stops.at(stop).station->stop;
}

TEST(LineGrades, TheFinalBrakingStyleThatSuitsTheGradeDocks) {
  // Style 2 brakes a notch harder: short on the level, right on a falling grade.
  const std::string falling = "[[gradient]]\nfrom = 1000\npermille = -12\n";
  const RunResult level = Drive(TwoStations(11, "", "correct_short_stops = false"));
  const RunResult downhill = Drive(TwoStations(11, "", "", falling));
  EXPECT_LT(Error(level, 1), -kDockedWindow);
  EXPECT_NEAR(Error(downhill, 1), 0, 0.3);
  EXPECT_TRUE(StopMade(downhill.stops[1]));
  EXPECT_EQ(MissedBecause(downhill.stops[1], downhill), "");
}

TEST(LineTiming, TheSeedFixesTheFramesAndAPauseIsOneLongFrame) {
  const std::string run = "time_step_jitter = 0.2\nseed = 5\nmax_duration = 60";
  const std::string pause = "[[pause]]\ntime = 40\nduration = 2.5\n";
  std::vector<std::string> first, again, other;
  Drive(TwoStations(12, run, "", pause), &first);
  Drive(TwoStations(12, run, "", pause), &again);
  Drive(TwoStations(12, "time_step_jitter = 0.2\nseed = 6\nmax_duration = 60", "", pause), &other);
  EXPECT_EQ(first, again);
  EXPECT_NE(first, other);

  std::vector<int32_t> times;
  for (const std::string& line : first) {
    int32_t ms = 0;
    if (std::sscanf(line.c_str(), "Elapse %*f %*f %d", &ms) == 1) times.push_back(ms);
  }
  ASSERT_GT(times.size(), 2000u);
  int pauses = 0;
  for (size_t i = 1; i < times.size(); ++i) {
    const int32_t step = times[i] - times[i - 1];
    if (step == 2500) {
      ++pauses;
      EXPECT_NEAR(times[i - 1] - times[0], 40000, 20);
    } else {
      EXPECT_GE(step, 13) << i;  // 1/60 s × 0.8, rounded to whole ms
      EXPECT_LE(step, 21) << i;  // 1/60 s × 1.2
    }
  }
  EXPECT_EQ(pauses, 1);
}

TEST(LineEnds, EveryMissedStopAndStallSaysWhy) {
  // Stronger brakes stop a style-2 train over a metre short: outside the
  // doors' window, so the doors never open and the run stalls.
  const std::string strong =
      "[dynamics]\ndecel_by_notch = [0, 0.5, 1, 1.5, 2, 2.5, 3.2, 4, 4.8, 5.5]\n";
  const RunResult shortStop =
      Drive(TwoStations(11, "stall_after = 30", "correct_short_stops = false", strong));
  EXPECT_EQ(shortStop.end, RunEnd::Stalled);
  const double shortBy = -Error(shortStop, 1);
  ASSERT_GT(shortBy, 1.0);
  EXPECT_EQ(shortStop.stall,
            fmt::format("stalled at {:.1f} m: stopped {:.2f} m short of Birchfield, doors never "
                        "opened",
                        shortStop.endLocation, shortBy));
  EXPECT_EQ(MissedBecause(shortStop.stops[1], shortStop),
            fmt::format("stopped {:.2f} m short", shortBy));
  EXPECT_LT(shortStop.endTimeMs - *shortStop.stops[1].arrivalMs, 31000);

  // A platform 100 m before the stopping point the beacons give.
  std::string late = TwoStations(12);
  late.replace(late.find("stop = 1800"), 11, "stop = 1700");
  const RunResult passed = Drive(late);
  EXPECT_EQ(passed.stall.substr(passed.stall.find(":")),
            ": stopped past the last station, doors closed, brake 7 power 0");
  EXPECT_EQ(MissedBecause(passed.stops[1], passed).rfind("passed without stopping at ", 0), 0u);
  EXPECT_GT(*passed.stops[1].crossedAtKmh, 20);

  const RunResult ended = Drive(TwoStations(12, "max_duration = 50"));
  EXPECT_EQ(ended.end, RunEnd::MaxDuration);
  EXPECT_EQ(MissedBecause(ended.stops[1], ended),
            fmt::format("not reached: the run ended at {:.1f} m", ended.endLocation));

  // Starting on open line, the plug-in holds the train as if its doors were open.
  std::string openLine = TwoStations(12, "stall_after = 20");
  openLine.replace(openLine.find("start_location = 500"), 20, "start_location = 600");
  const RunResult held = Drive(openLine);
  EXPECT_EQ(held.end, RunEnd::Stalled);
  EXPECT_EQ(held.stall,
            "stalled at 600.0 m: stopped 1200.0 m before Birchfield, doors open, brake 7 power 0");
  EXPECT_EQ(MissedBecause(held.stops[1], held), "not reached: the run " + held.stall);
}

TEST(LineEnds, AnOverrunNamesWhereTheTrainRanAboveTheTarget) {
  // A station beacon that drops the limit from 80 to 40 km/h 200 m before
  // the stop, on a train with a weak full-service brake.
  std::string text = TwoStations(
      12, "", "", "[dynamics]\ndecel_by_notch = [0, 0.4, 0.8, 1.2, 1.6, 2, 2.6, 3.2, 3, 4.5]\n");
  text.replace(text.find("optional = 60\n"), 14, "optional = 80\n");
  text.replace(text.find("location = 1500"), 15, "location = 1600");
  text.replace(text.find("optional = 6028980"), 18, "optional = 4028980");
  const RunResult run = Drive(text);
  const StopRecord& stop = run.stops[1];
  ASSERT_TRUE(stop.stoppedAt && stop.overTargetFrom);
  EXPECT_GT(Error(run, 1), 1.0);
  EXPECT_GT(*stop.overTargetFrom, 1400);
  EXPECT_GT(stop.overTargetBy, 5);
  EXPECT_EQ(
      MissedBecause(stop, run),
      fmt::format("overran by {:.2f} m; above the cab's target from {:.0f} to {:.0f} m, by "
                  "up to {:.1f} km/h",
                  Error(run, 1), *stop.overTargetFrom, *stop.overTargetTo, stop.overTargetBy));
}

TEST(LineDriver, AShortStopIsClosedUpWithTheStartKey) {
  const RunResult plain = Drive(TwoStations(11, "", "correct_short_stops = false"));
  const RunResult mended = Drive(TwoStations(11));
  ASSERT_EQ(plain.stops[1].corrections, 0);
  EXPECT_EQ(mended.stops[1].corrections, 1);
  // The start ramp runs to 0.2 m before the point, then the overspeed brake
  // (notch 4, through the brake lag) stops the train beyond it.
  EXPECT_GT(Error(mended, 1), Error(plain, 1) + 1.0);
  EXPECT_TRUE(mended.stops[1].doorsOpenMs);
  EXPECT_GT(*mended.stops[1].doorsOpenMs, *plain.stops[1].arrivalMs + 2000);
  int presses = 0;
  for (const RunEvent& e : mended.events) {
    presses += e.text.find("presses the start key to close up to Birchfield") != std::string::npos;
  }
  EXPECT_EQ(presses, 1);
}

}  // namespace
