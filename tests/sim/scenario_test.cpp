// Scenario files: what a good file gives, and the message each mistake gets.
// Beacons by meaning and the route check are tested by files in lines/.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>

#include "scenario/reader.h"

namespace {

constexpr const char* kMinimal = "[run]\nend_location = 1000\n";

TEST(ScenarioFile, MinimalFileTakesTheDefaults) {
  const Scenario s = ParseScenario(kMinimal, "min.toml");
  EXPECT_DOUBLE_EQ(s.timeStep, 1.0 / 60);
  EXPECT_EQ(s.vehicle.carCount, 6);
  EXPECT_TRUE(s.doors.automatic);
  EXPECT_TRUE(s.beacons.empty());
  // As an editor that marks its UTF-8 saves it; the mark only at the start.
  EXPECT_EQ(*ParseScenario(std::string("\xEF\xBB\xBF") + kMinimal, "bom.toml").source, kMinimal);
  EXPECT_THROW(ParseScenario(std::string(kMinimal) + "\xEF\xBB\xBF", "bom.toml"), ScenarioError);
  // An empty list is none.
  const Scenario none = ParseScenario(
      "beacon = []\nstation = []\nlimit = []\ngradient = []\naction = []\npause = []\n" +
          std::string(kMinimal),
      "none.toml");
  EXPECT_TRUE(none.beacons.empty() && none.stations.empty() && none.limits.empty());
}

TEST(ScenarioFile, ReadsEverySection) {
  const Scenario s = ParseScenario(R"(
[vehicle]
cars = 8
ats_notch = 3
b67_notch = 4
[dynamics]
accel_per_notch = 1
resistance = 0.2
lag = 0
base_speed = 40
brake_delay = 0.5
adhesion = 0.2
[run]
time_step = 0.02
start_location = 100
start_time = "07:30:15"
end_location = 900
[doors]
dwell = 30
[[beacon]]
location = 150
type = 14
optional = 200072
signal = 3
distance = 12.5
[[station]]
name = "Alder"
stop = 500
door_side = 1
departure = "07:31:00"
[[action]]
location = 200
doors = "open"
[[action]]
time = 1.5
key = 2
)",
                                   "full.toml");
  EXPECT_EQ(s.vehicle.carCount, 8);
  EXPECT_EQ(s.vehicle.atsCheckNotch, 3);
  EXPECT_EQ(s.vehicle.b67Notch, 4);
  EXPECT_EQ(s.dynamics.lagSeconds, 0);
  EXPECT_EQ(s.dynamics.resistance, 0.2);
  EXPECT_EQ(s.dynamics.accelPerNotch, 1);
  EXPECT_EQ(s.dynamics.baseSpeed, 40);
  EXPECT_EQ(s.dynamics.brakeDelaySeconds, 0.5);
  EXPECT_EQ(s.dynamics.wetAdhesion, 0.2);  // as dry unless given
  EXPECT_EQ(s.dynamics.lengthMetres, 8 * 20);
  EXPECT_EQ(s.startTimeMs, (7 * 3600 + 30 * 60 + 15) * 1000);
  ASSERT_EQ(s.beacons.size(), 1u);
  EXPECT_EQ(s.beacons[0].data.optional, 200072);
  EXPECT_EQ(s.beacons[0].data.signal, 3);
  EXPECT_EQ(s.beacons[0].line, 20);  // the text starts with a newline
  ASSERT_EQ(s.stations.size(), 1u);
  EXPECT_EQ(s.stations[0].departureMs, (7 * 3600 + 31 * 60) * 1000);
  ASSERT_EQ(s.timeline.size(), 2u);
  EXPECT_EQ(s.timeline[0].kind, ActionKind::OpenDoors);
  EXPECT_EQ(*s.timeline[0].atLocation, 200);
  EXPECT_EQ(s.timeline[1].kind, ActionKind::Key);
  EXPECT_EQ(s.timeline[1].value, 2);
}

// Each case of the file: a scenario's text, then "error: " and the start of
// a message the reader must give for it.
TEST(ScenarioFile, MistakesNameTheFileLineAndKey) {
  std::ifstream cases(CORVANE_TEST_DATA_DIR "/bad_scenarios.txt");
  ASSERT_TRUE(cases);
  std::string line, text;
  std::vector<std::string> overrides;
  int count = 0;
  while (std::getline(cases, line)) {
    if (line.rfind("error: ", 0) == 0) {
      ++count;
      if (!std::regex_search(text, std::regex("(^|\n)(run\\b|\\[)"))) {
        text += "run = { end_location = 10 }\n";
      }
      try {
        ParseScenario(text, "bad.toml", overrides);
        ADD_FAILURE() << "accepted: " << text;
      } catch (const ScenarioError& e) {
        EXPECT_NE(std::string(e.what()).find(line.substr(7)), std::string::npos) << e.what();
      }
      text.clear();
      overrides.clear();
    } else if (line.rfind("set: ", 0) == 0) {
      overrides.push_back(line.substr(5));
    } else if (line[0] != '#') {
      text += line + "\n";
    }
  }
  EXPECT_EQ(count, 134);
}

TEST(ScenarioFile, EachKeyAcceptsItsEdges) {
  const Scenario edge = ParseScenario(
      "[run]\nend_location = 10\nstart_time = \"23:59:59\"\nmax_duration = 0.5\n"
      "[vehicle]\npower_notches = 1\ncars = 100\n[[beacon]]\nlocation = 1\nspeed_limit = 999\n"
      "[driver]\nreaction = 5\npower_notch = 1\n[[pause]]\ntime = 0\nduration = 10\n"
      "[[pause]]\ntime = 1\nduration = 0.001\n"
      // Brackets, quotes, dots and other scripts inside strings and comments are text.
      "[[station]]\nstop = 5\nname = \"\"\"Z\u00fcrich [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[ \\\n"
      "a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a \\\"\"\"\"  # \u00e9\n"
      "[[station]]\nstop = 6\nname = 'C:\\' # \u00e9 [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[\n",
      "edge.toml");
  EXPECT_EQ(edge.startTimeMs, 86399000);
  EXPECT_EQ(edge.maxSeconds, 0.5);
  EXPECT_EQ(edge.driver.reactionSeconds, 5);
  EXPECT_EQ(edge.driver.powerNotch, 1);
  EXPECT_EQ(edge.pauses.at(0).atSeconds, 0);
  EXPECT_EQ(edge.pauses.at(1).seconds, 0.001);
  EXPECT_EQ(edge.vehicle.powerNotchCount, 1);
  EXPECT_EQ(edge.vehicle.carCount, 100);
  EXPECT_EQ(edge.beacons.at(0).data.optional, 999);
  ASSERT_EQ(edge.stations.size(), 2u);
  EXPECT_EQ(edge.stations[0].name.substr(0, 9), "Z\u00fcrich [");
  EXPECT_EQ(edge.stations[1].name, "C:\\");
}

TEST(ScenarioFile, MissingFileIsAnError) {
  EXPECT_THROW(LoadScenario("/nonexistent/route.toml"), ScenarioError);
}

}  // namespace
