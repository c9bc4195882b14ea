// --layout on small lines: the style that docks is the one chosen, a limit
// rises only behind the train's rear, a stop no layout docks is said so, and
// the file written reads back, lints clean and docks when run.
#include "layout/layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "fresh_library.h"
#include "host/simulator.h"
#include "layout/trials.h"
#include "layout/writer.h"
#include "lint/lint.h"
#include "scenario/reader.h"

namespace {

// Two brake scales keep the tests quick; the tool's default has 36 runs.
constexpr const char* kLine = R"(
run = { start_location = 500, start_time = "08:00:00", end_location = 3300 }
station = [
  { name = "Ashby", stop = 500, door_side = -1, departure = "08:00:30" },
  { name = "Brook", stop = 1600, door_side = -1, departure = "08:03:00" },
  { name = "Cove", stop = 3100, door_side = 1, departure = "08:06:00" },
]
limit = [ { from = 0, speed = 60 }, { from = 2200, speed = 30 }, { from = 2300, speed = 60 } ]
beacon = [ { location = 2000, rain = 200 }, { location = 2100, speed_limit = 99 } ]
sweep = { brake_scale = [0.95, 1.05] }
)";

struct LaidOut {
  Scenario input;
  Layout layout;
  std::string path;
};

LaidOut LayOutText(const std::string& text, const std::string& name) {
  const std::string path = (std::filesystem::temp_directory_path() / name).string();
  std::ofstream(path) << text;
  Scenario s = LoadScenario(path);
  const SweepOptions o{CORVANE_PLUGIN_PATH, 2, 60, false, nullptr, nullptr};
  Layout layout = LayOut(s, o);
  return {std::move(s), std::move(layout), path};
}

// The train of the metro example: its [vehicle] and [dynamics].
std::string MetroTrain() {
  std::ifstream metro(std::string(CORVANE_EXAMPLES_DIR) + "/metro_train.toml");
  const std::string text((std::istreambuf_iterator<char>(metro)), std::istreambuf_iterator<char>());
  return text.substr(text.find("[vehicle]"), text.find("[run]") - text.find("[vehicle]"));
}

// The metro train from Ashby by Brook to Cove at 60 km/h, Brook's doors on
// the given side, with the lines given (a sweep, grades).
std::string MetroLine(int brookSide, const std::string& more) {
  return R"(
run = { start_location = 500, start_time = "08:00:00", end_location = 2800 }
station = [
  { name = "Ashby", stop = 500, door_side = -1, departure = "08:00:30" },
  { name = "Brook", stop = 1600, door_side = )" +
         std::to_string(brookSide) + R"(, departure = "08:03:30" },
  { name = "Cove", stop = 2600, door_side = -1, departure = "08:06:00" },
]
limit = [ { from = 0, speed = 60 } ]
)" + more +
         "\n" + MetroTrain();
}

TEST(Layout, ChoosesADockingStyleAndRaisesALimitBehindTheRear) {
  const LaidOut out = LayOutText(kLine, "layout_line.toml");
  const std::vector<StationLayout>& st = out.layout.stations;
  ASSERT_EQ(st.size(), 3u);
  for (const StationLayout& s : st) EXPECT_TRUE(s.docks) << s.why;
  // Level, doors left: style 2 ends some 0.8 m short, so style 1.
  EXPECT_EQ(st[1].code, 12) << st[1].why;
  EXPECT_EQ(st[2].code, 17) << st[2].why;  // doors right: style 3 docks too
  // Two codes, four approaches, each at the sweep's two corners; the four
  // that dock there also as the file has it and with the brakes between.
  EXPECT_EQ(st[1].runs, 2 * 4 * 2 + 4 * 2);
  // The curve's limit returns once the 120 m train has cleared it; the
  // author's own limit beacon is dropped, the rain kept.
  bool raised = false, rain = false;
  for (size_t i = 0; i < out.layout.beacons.size(); ++i) {
    const RouteBeacon& b = out.layout.beacons[i];
    raised |= b.data.type == kBeaconSpeedLimit && b.location == 2300 + 120 && b.data.optional == 60;
    EXPECT_FALSE(b.data.type == kBeaconSpeedLimit && b.data.optional == 99);
    rain |= b.data.type == kBeaconRain && b.location == 2000;
    if (i > 0) EXPECT_LE(out.layout.beacons[i - 1].location, b.location);
  }
  EXPECT_TRUE(raised);
  EXPECT_TRUE(rain);
}

// The file written, read back into `back`: its lint warnings, and its run
// from a freshly loaded plug-in (the run's stops point into `back`).
// Every written file reads back to the layout's beacons and the input's line.
RunResult RunWritten(const LaidOut& out, Scenario& back, std::vector<std::string>& warnings,
                     std::string& text) {
  text = LayoutFile(out.input, out.layout);
  back = ParseScenario(text, out.path + ".out.toml");
  const auto fields = [](const RouteBeacon& b) {
    return std::make_tuple(b.location, b.data.type, b.data.optional, b.data.signal,
                           b.data.distance);
  };
  EXPECT_EQ(back.beacons.size(), out.layout.beacons.size());
  for (size_t i = 0; i < back.beacons.size() && i < out.layout.beacons.size(); ++i) {
    EXPECT_EQ(fields(back.beacons[i]), fields(out.layout.beacons[i])) << i;
  }
  EXPECT_EQ(back.stations.size(), out.input.stations.size());
  for (size_t i = 0; i < back.stations.size() && i < out.input.stations.size(); ++i) {
    EXPECT_EQ(back.stations[i].name, out.input.stations[i].name);
  }
  EXPECT_EQ(back.limits.size(), out.input.limits.size());
  EXPECT_EQ(back.gradients.size(), out.input.gradients.size());
  warnings = Lint(back);
  FreshLibrary();
  return RunScenario(back, LinkedApi());
}

void ExpectEveryStopMade(const RunResult& run, size_t stations) {
  ASSERT_EQ(run.stops.size(), stations);
  for (const StopRecord& r : run.stops) EXPECT_TRUE(StopMade(r)) << r.station->name;
  EXPECT_TRUE(run.overspeeds.empty());
}

// The author's beacons given as tables this time, a blank line within one.
TEST(Layout, TheFileWrittenLintsCleanAndDocksEveryStop) {
  std::string tables = kLine;
  const size_t array = tables.find("beacon = [");
  tables.erase(array, tables.find('\n', array) + 1 - array);
  tables +=
      "[[beacon]]\nlocation = 2000\n\nrain = 200\n[[beacon]]\nlocation = 2100\nspeed_limit = 99\n";
  Scenario back;
  std::vector<std::string> warnings;
  std::string text;
  const RunResult run = RunWritten(LayOutText(tables, "layout_tables.toml"), back, warnings, text);
  EXPECT_EQ(warnings, std::vector<std::string>{});
  ExpectEveryStopMade(run, 3);
  EXPECT_NE(text.find("# Brook: code 12 (style 1), in at "), std::string::npos) << text;
  EXPECT_NE(text.find("stopping_point = \"Cove\""), std::string::npos);
  EXPECT_NE(text.find("{ location = 2000, rain = 200 }"), std::string::npos) << text;
  EXPECT_EQ(text.find("[[beacon]]"), std::string::npos) << text;
}

// Names that need escaping, tables headed with spaces and a sub-table, and a
// kept beacon's every field at full precision all read back as they were.
TEST(Layout, TheFileWrittenReadsBackWhateverTheAuthorWrote) {
  std::string odd = kLine;
  odd.replace(odd.find("\"Brook\""), 7, R"("Brook \"B\" \\ 2")");
  odd.replace(odd.find("\"Cove\""), 6, R"("Cove\nend")");
  const size_t array = odd.find("beacon = [");
  odd.erase(array, odd.find('\n', array) + 1 - array);
  odd += "[[ beacon ]]\nlocation = 2000.75\ntype = 18\noptional = 200\nsignal = 3\n"
         "distance = 12.5\n[[beacon]]\nlocation = 2050\n[beacon.run]\ndestination = 7\n"
         "number = 12\n";
  Scenario back;
  std::vector<std::string> warnings;
  std::string text;
  RunWritten(LayOutText(odd, "layout odd.toml"), back, warnings, text);
  EXPECT_EQ(back.stations[1].name, "Brook \"B\" \\ 2");
  EXPECT_EQ(back.stations[2].name, "Cove\nend");
}

// The metro train on the level, doors left: from 30 km/h or more style 1
// stops it short and style 2 runs past; creeping in at 10 km/h, style 2
// docks it, its door side's own code before style 3's. The line's limit
// returns before the train stands, for the cab to offer the departure.
TEST(Layout, WhereNothingFasterDocksTheTrainCreepsInWithItsDoorSidesCode) {
  const LaidOut out =
      LayOutText(MetroLine(-1, "sweep = { brake_scale = [0.88, 0.95] }"), "layout_metro.toml");
  const StationLayout& brook = out.layout.stations[1];
  EXPECT_TRUE(brook.docks) << brook.why;
  EXPECT_EQ(brook.code, 12) << brook.why;
  EXPECT_EQ(brook.approach, 10) << brook.why;
  // The side's two codes at 60 to 30 km/h, then also at 20 and 10, and style
  // 3 at 60 to 10, each at the sweep's two corners; the seven that dock
  // there also as the file has it and with the brakes between.
  EXPECT_EQ(brook.runs, (2 * 4 + 2 * 2 + 6) * 2 + 7 * 2);
  Scenario back;
  std::vector<std::string> warnings;
  std::string text;
  const RunResult run = RunWritten(out, back, warnings, text);
  EXPECT_EQ(warnings, std::vector<std::string>{});
  ExpectEveryStopMade(run, 3);
  EXPECT_NE(text.find("{ location = 1597, speed_limit = 60 }"), std::string::npos) << text;
}

// The metro train at brakes x1.00 to x1.05 on a level platform after a
// rise: style 3 stops 40 to 50 cm short, the others wider; a slight fall
// into the stop brings style 3 in.
TEST(Layout, AStopShortInEveryRunIsToldTheFallThatWouldDockIt) {
  const LaidOut out = LayOutText(
      MetroLine(1,
                "gradient = [ { from = 1000, permille = 15 }, { from = 1400, permille = 0 } ]\n"
                "sweep = { brake_scale = [1.0, 1.05] }"),
      "layout_short.toml");
  const StationLayout& brook = out.layout.stations[1];
  EXPECT_FALSE(brook.docks);
  EXPECT_NE(brook.why.find("a fall of 2.5 ‰ over the last 400 m into the stop would dock style 3"),
            std::string::npos)
      << brook.why;
}

TEST(Layout, AStopNoLayoutDocksIsSaidSo) {
  std::string steep = kLine;
  steep.replace(steep.find("beacon = ["), 0,
                "gradient = [ { from = 600, permille = -60 }, { from = 1600, permille = 0 } ]\n");
  const LaidOut out = LayOutText(steep, "layout_steep.toml");
  const StationLayout& brook = out.layout.stations[1];
  EXPECT_FALSE(brook.docks);
  EXPECT_EQ(StopErrorText(brook.worstCm), "through");
  for (const char* said : {"does NOT dock", "style 3 (code 17) in at 60 km/h runs through it",
                           "(-60.0 ‰ on average) notch 8 slows it 0.47 m/s², the stopping curve "
                           "asks 0.70 to 0.75: stronger brakes"}) {
    EXPECT_NE(brook.why.find(said), std::string::npos) << brook.why;
  }
  EXPECT_TRUE(out.layout.stations[2].docks);
}

// A candidate docks as its runs judged the stop, never by the error
// rounded to whole cm: 0.502 m off shows as 50 cm and is missed.
TEST(Layout, ACandidateDocksAsItsRunsJudgedTheStop) {
  const Station brook{"Brook", 1600, -1, {}, 0};
  const std::pair<double, bool> cases[] = {{0.498, true}, {0.502, false}, {-0.502, false}};
  for (const auto& [off, made] : cases) {
    StopRecord r{&brook};
    r.stoppedAt = brook.stop + off;
    Candidate c{12, true, 30, {}};
    Record(c, Parse(Serialise({{}, {{}, Swept(r, "", 0)}, {}, "", ""})));
    EXPECT_EQ(StopMade(r), made) << off;
    EXPECT_EQ(Docks(c), made) << off;
    EXPECT_EQ(c.errors, std::vector<long>{std::lround(off * 100)}) << off;
  }
}

TEST(Layout, ConditionsAreTheFilesSweepOrTheDefaultWithLoadsOnlyForALoadedTrain) {
  Scenario s;
  EXPECT_EQ(Combinations(LayoutConditions(s)).size(),
            3u * 3 * 2 * 2);  // brakes, frames, seeds, loads
  s.dynamics.loadMass = 0;
  EXPECT_EQ(Combinations(LayoutConditions(s)).size(), 3u * 3 * 2);
  s.sweep = {{"seed", {1, 2, 3, 4}, 1}};
  EXPECT_EQ(Combinations(LayoutConditions(s)).size(), 4u);
}

TEST(Layout, CornersAreEachAxisEndsAndBetweenTheMidpointsNextToThem) {
  const struct {
    SweepAxis axis;
    std::vector<double> corners, between;
  } cases[] = {
      {{"brake_scale", {0.95, 1.0, 1.05}, 1}, {0.95, 1.05}, {0.975, 1.025}},
      {{"brake_scale", {1.05, 0.95}, 1}, {0.95, 1.05}, {1.0}},  // in order of size
      {{"load", {0, 0.25, 0.5, 1}, 1}, {0, 1}, {0.125, 0.75}},
      {{"time_step", {0.02}, 1}, {0.02}, {0.02}},
      {{"seed", {1, 2}, 1}, {1}, {1}},
      {{"time_step_jitter", {0.2, 0.1}, 1}, {0.2}, {0.2}},
  };
  for (const auto& c : cases) {
    for (const auto& [reduced, expected] :
         {std::pair{Corners({c.axis}), c.corners}, std::pair{Between({c.axis}), c.between}}) {
      ASSERT_EQ(reduced.size(), 1u);
      EXPECT_EQ(reduced[0].name, c.axis.name);
      ASSERT_EQ(reduced[0].values.size(), expected.size()) << c.axis.name;
      for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_DOUBLE_EQ(reduced[0].values[i], expected[i]) << c.axis.name;
    }
  }
}

TEST(Layout, AStopOffTheStoppingPointGridIsRefused) {
  std::string off = kLine;
  off.replace(off.find("stop = 1600"), 11, "stop = 1610");
  const std::string path = (std::filesystem::temp_directory_path() / "layout_off.toml").string();
  std::ofstream(path) << off;
  const Scenario s = LoadScenario(path);
  const SweepOptions o{CORVANE_PLUGIN_PATH, 1, 60, false, nullptr, nullptr};
  try {
    LayOut(s, o);
    ADD_FAILURE() << "laid out";
  } catch (const ScenarioError& e) {
    EXPECT_NE(std::string(e.what()).find("stops at 1610 m: a stopping-point beacon gives only"),
              std::string::npos)
        << e.what();
  }
}

}  // namespace
