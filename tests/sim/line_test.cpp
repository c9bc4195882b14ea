// Two-station lines through the real plug-in, each laid out to behave one
// way: grades and braking styles, the host's frame timing, why runs end and
// stops are missed, the driver's correction of a short stop, and the route
// checks, each shown to predict a missed stop that its fix mends.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <string>
#include <vector>

#include "route_check.h"
#include "summary.h"
#include "two_station_line.h"

namespace {

const std::string kFalling = "[[gradient]]\nfrom = 1000\npermille = -12\n";
const std::string kNoCorrection = "correct_short_stops = false";

TEST(LineGrades, TheFinalBrakingStyleThatSuitsTheGradeDocks) {
  // Style 2 brakes a notch harder: short on the level, right on a falling grade.
  const RunResult level = Drive({.code = 11, .doors = kNoCorrection});
  const RunResult downhill = Drive({.code = 11, .tables = kFalling});
  EXPECT_LT(Error(level), -kDockedWindow);
  EXPECT_NEAR(Error(downhill), 0, 0.3);
  EXPECT_EQ(MissedBecause(downhill.stops[1], downhill), "");
}

TEST(LineTiming, TheSeedFixesTheFramesAndAPauseIsOneLongFrame) {
  const std::string pause = "[[pause]]\ntime = 40\nduration = 2.5\n";
  const auto jittered = [&](int seed) {
    return Line{.run = fmt::format("time_step_jitter = 0.2\nseed = {}\nmax_duration = 60", seed),
                .tables = pause};
  };
  std::vector<std::string> first, again, other;
  Drive(jittered(5), &first);
  Drive(jittered(5), &again);
  Drive(jittered(6), &other);
  EXPECT_EQ(first, again);
  EXPECT_NE(first, other);

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

TEST(LineEnds, EveryMissedStopAndStallSaysWhy) {
  // Stronger brakes stop a style-2 train over a metre short: outside the
  // doors' window, so the doors never open and the run stalls.
  const RunResult shortStop = Drive(
      {.code = 11,
       .run = "stall_after = 30",
       .doors = kNoCorrection,
       .tables = "[dynamics]\ndecel_by_notch = [0, 0.5, 1, 1.5, 2, 2.5, 3.2, 4, 4.8, 5.5]\n"});
  EXPECT_EQ(shortStop.end, RunEnd::Stalled);
  const double shortBy = -Error(shortStop);
  ASSERT_GT(shortBy, 1.0);
  EXPECT_EQ(shortStop.stall,
            fmt::format("stalled at {:.1f} m: stopped {:.2f} m short of Birchfield, doors never "
                        "opened",
                        shortStop.endLocation, shortBy));
  EXPECT_EQ(MissedBecause(shortStop.stops[1], shortStop),
            fmt::format("stopped {:.2f} m short", shortBy));
  EXPECT_LT(shortStop.endTimeMs - *shortStop.stops[1].arrivalMs, 31000);

  // A platform 100 m before the stopping point the beacons give.
  const RunResult passed = Drive({.platform = 1700});
  EXPECT_EQ(MissedBecause(passed.stops[1], passed).rfind("passed without stopping at ", 0), 0u);
  EXPECT_GT(*passed.stops[1].crossedAtKmh, 20);
  EXPECT_EQ(passed.stall.substr(passed.stall.find(':')),
            ": stopped past the last station, doors closed, brake 7 power 0");

  // A moving train never stalls, however long its outputs stay the same.
  EXPECT_EQ(Drive({.run = "stall_after = 3"}).end, RunEnd::EndOfLine);

  const RunResult ended = Drive({.run = "max_duration = 50"});
  EXPECT_EQ(ended.end, RunEnd::MaxDuration);
  EXPECT_EQ(MissedBecause(ended.stops[1], ended),
            fmt::format("not reached: the run ended at {:.1f} m", ended.endLocation));

  // On open line without a start key nothing moves the train: the stall is
  // called 20 s after the last change (the mode stepped down), to the frame.
  const RunResult held = Drive(
      {.start = 600, .run = "stall_after = 20\ntime_step = 0.25", .doors = "start_key = false"});
  EXPECT_EQ(held.end, RunEnd::Stalled);
  ASSERT_GE(held.events.size(), 2u);
  EXPECT_EQ(held.endTimeMs - held.events[held.events.size() - 2].timeMs, 20000);
  int modeChanges = 0;
  for (const RunEvent& e : held.events) modeChanges += e.text.rfind("mode: ", 0) == 0;
  EXPECT_EQ(modeChanges, 3);  // shown at the start, then in each frame it changed
  EXPECT_EQ(
      held.stall,
      "stalled at 600.0 m: stopped 1200.0 m before Birchfield, doors closed, brake 8 power 0");
  EXPECT_EQ(MissedBecause(held.stops[1], held), "not reached: the run " + held.stall);
}

// A station beacon that drops the limit from 80 to 40 km/h 400 m before the stop.
const Line kLimitDrop{.limit = 80,
                      .stationLimit = 40,
                      .stop = 2800,
                      .stoppingPoint = 2300,
                      .locationBeacon = 2350,
                      .stationBeacon = 2400};

TEST(LineEnds, AnOverrunNamesWhereTheTrainRanAboveTheTarget) {
  const RunResult run = Drive(kLimitDrop);
  const StopRecord& stop = run.stops[1];
  ASSERT_TRUE(stop.stoppedAt && stop.overTargetFrom);
  EXPECT_GT(Error(run), 10);
  EXPECT_GE(*stop.overTargetFrom, 2400);
  EXPECT_GT(stop.overTargetBy, 10);
  EXPECT_EQ(MissedBecause(stop, run),
            fmt::format("overran by {:.2f} m; above the cab's target from {:.0f} to {:.0f} m, by "
                        "up to {:.1f} km/h",
                        Error(run), *stop.overTargetFrom, *stop.overTargetTo, stop.overTargetBy));
}

TEST(LineDriver, AShortStopIsClosedUpWithTheStartKey) {
  const RunResult plain = Drive({.code = 11, .doors = kNoCorrection});
  const RunResult mended = Drive({.code = 11});
  ASSERT_EQ(plain.stops[1].corrections, 0);
  EXPECT_EQ(mended.stops[1].corrections, 1);
  // The start ramp runs to 0.2 m before the point, then the overspeed brake
  // (notch 4, through the brake lag) stops the train beyond it.
  EXPECT_GT(Error(mended), Error(plain) + 1.0);
  EXPECT_TRUE(mended.stops[1].doorsOpenMs);
  EXPECT_GT(*mended.stops[1].doorsOpenMs, *plain.stops[1].arrivalMs + 2000);
  int presses = 0;
  for (const RunEvent& e : mended.events) {
    presses += e.text.find("presses the start key to close up to Birchfield") != std::string::npos;
  }
  EXPECT_EQ(presses, 1);
  // The press comes start_delay (2 s) after the stop, to the frame.
  const RunResult quarter = Drive({.code = 11, .run = "time_step = 0.25"});
  const auto when = [&](const std::string& text) {
    for (const RunEvent& e : quarter.events) {
      if (e.text.rfind(text, 0) == 0) return e.timeMs;
    }
    return 0;
  };
  EXPECT_EQ(when("driver presses the start key to close") - when("stopped at Birchfield"), 2000);
  // The summary shows the move and why the stop still counts as missed.
  char* text = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  PrintStopSummary(out, mended);
  std::fclose(out);
  const std::string summary(text, size);
  std::free(text);
  EXPECT_NE(summary.find("08:00:30  08:00:30"), std::string::npos)
      << summary;  // Alder left on time
  EXPECT_NE(summary.find(fmt::format("missed Birchfield: overran by {:.2f} m after 1 correction;",
                                     Error(mended))),
            std::string::npos)
      << summary;
}

TEST(RouteCheck, EachWarnedLayoutMissesItsStopAndTheFixDocks) {
  Line lateStoppingPoint{.limit = 90,
                         .stationLimit = 90,
                         .stop = 2800,
                         .stoppingPoint = 2450,
                         .locationBeacon = 2500,
                         .stationBeacon = 2550};
  Line earlyStoppingPoint = lateStoppingPoint;
  earlyStoppingPoint.stoppingPoint = 2370;
  earlyStoppingPoint.locationBeacon = 2375;
  earlyStoppingPoint.stationBeacon = 2380;
  Line braked = kLimitDrop;
  braked.more = {{2300, "braking = { final_speed = 40, end = 2717 }"}};
  const auto curve = [](int end) {
    return Line{.more = {{1600, fmt::format("braking = {{ final_speed = 30, end = {} }}", end)}}};
  };
  const struct {
    Line warned;
    std::string warning;
    Line mended;
  } cases[] = {
      {lateStoppingPoint,
       "stopping-point beacon 350 m before its stop at 2800 m, inside the stopping curve from 90 "
       "km/h: move it and the station beacon at 2550 m (the target is the next stop between "
       "them) at least 418 m before the stop",
       earlyStoppingPoint},
      {kLimitDrop,
       "the limit falls from 80 to 40 km/h 318 m before the stopping curve at 2718 m, and notch 4 "
       "needs 417 m to shed it: add a braking beacon to 40 km/h ending at 2717 m, at or before "
       "2300 m",
       braked},
      {Line{.alderCode = 11, .locationBeacon = 1500},
       "location beacon passed with or after the station beacon at 1500 m: the stop keeps the "
       "previous stop's braking style; move it at least 1.0 m before the station beacon",
       Line{.alderCode = 11}},
      {curve(1900),
       "braking curve ends at 1900 m, beyond the stopping point at 1800 m: while it runs the "
       "stopping curve is not used; end it before the stop",
       curve(1700)},
      {curve(1550), "braking curve ends at 1550 m, at or before its beacon", curve(1700)},
  };
  for (const auto& c : cases) {
    const Scenario warned = ParseScenario(c.warned.Text(), "line.toml");
    const std::vector<std::string> warnings = CheckRoute(warned);
    ASSERT_EQ(warnings.size(), 1u) << c.warning;
    EXPECT_NE(warnings[0].find(c.warning), std::string::npos) << warnings[0];
    const RunResult missed = Drive(c.warned);
    EXPECT_FALSE(StopMade(missed.stops[1])) << c.warning;
    EXPECT_EQ(CheckRoute(ParseScenario(c.mended.Text(), "line.toml")), std::vector<std::string>{})
        << c.warning;
    const RunResult docked = Drive(c.mended);
    EXPECT_TRUE(StopMade(docked.stops[1])) << c.warning << ": " << Error(docked);
  }
}

}  // namespace
