// Scenario files: what a good file gives, and the message each mistake gets.
#include "scenario.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "beacon_codes.h"
#include "route_check.h"

namespace {

constexpr const char* kMinimal = "[run]\nend_location = 1000\n";

TEST(ScenarioFile, MinimalFileTakesTheDefaults) {
  const Scenario s = ParseScenario(kMinimal, "min.toml");
  EXPECT_DOUBLE_EQ(s.timeStep, 1.0 / 60);
  EXPECT_EQ(s.vehicle.carCount, 6);
  EXPECT_TRUE(s.doors.automatic);
  EXPECT_TRUE(s.beacons.empty());
}

TEST(ScenarioFile, ReadsEverySection) {
  const Scenario s = ParseScenario(R"(
[vehicle]
cars = 8
ats_notch = 3
b67_notch = 4
[dynamics]
accel_per_notch = 1
lag = 0
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
  EXPECT_EQ(s.startTimeMs, (7 * 3600 + 30 * 60 + 15) * 1000);
  ASSERT_EQ(s.beacons.size(), 1u);
  EXPECT_EQ(s.beacons[0].data.optional, 200072);
  EXPECT_EQ(s.beacons[0].data.signal, 3);
  EXPECT_EQ(s.beacons[0].line, 16);  // the text starts with a newline
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
  int count = 0;
  while (std::getline(cases, line)) {
    if (line == "---") {
      text.clear();
    } else if (line.rfind("error: ", 0) == 0) {
      ++count;
      try {
        ParseScenario(text, "bad.toml");
        ADD_FAILURE() << "accepted: " << text;
      } catch (const ScenarioError& e) {
        EXPECT_NE(std::string(e.what()).find(line.substr(7)), std::string::npos) << e.what();
      }
    } else if (line[0] != '#') {
      text += line + "\n";
    }
  }
  EXPECT_EQ(count, 55);
}

TEST(NamedBeacons, PackTheRouteFilesValuesAndReadBackInWords) {
  const struct {
    const char* named;
    int32_t type, optional;
    const char* words;
  } cases[] = {
      {"run = { destination = 12, number = 345 }", 11, 12345, "run 345 to destination 12"},
      {"station = { limit = 60, departure = \"08:03:00\" }", 12, 6028980,
       "station: limit 60 km/h, departs 08:03:00"},
      {"location_code = 19", 13, 19, "location code 19"},
      {"stopping_point = { this = 1800, next = 3200 }", 14, 720128,
       "stopping point 1800 m, then 3200 m"},
      {"stopping_point = { this = 249975, next = 0 }", 14, 99990000,
       "stopping point 249975 m, then 0 m"},
      {"speed_limit = 60", 15, 60, "speed limit 60 km/h"},
      {"braking = { final_speed = 40, end = 2500, then = \"rebrake\" }", 16, 1040002500,
       "braking curve to 40 km/h ending at 2500 m, then rebrake"},
      {"braking = { final_speed = 0, end = 999999 }", 16, 999999,
       "braking curve to 0 km/h ending at 999999 m, then nothing"},
      {"braking = { final_speed = 147, end = 483647, then = \"chime\" }", 16, 2147483647,
       "braking curve to 147 km/h ending at 483647 m, then chime"},
      {"option = \"normal\"", 17, 0, "option: normal"},
      {"option = \"constant_speed\"", 17, 1, "option: constant_speed"},
      {"option = \"brake_hold\"", 17, 2, "option: brake_hold"},
      {"option = \"neutral_section\"", 17, 3, "option: neutral_section"},
      {"option = { show_speed = 45 }", 17, 45, "option: show 45 km/h"},
      {"rain = 400", 18, 400, "rain 400"},
  };
  const auto beaconOf = [](const std::string& fields) {
    const std::string text = "[run]\nend_location = 10\n[[beacon]]\nlocation = 1\n" + fields;
    return ParseScenario(text, "named.toml").beacons.at(0).data;
  };
  for (const auto& c : cases) {
    const ATS_BEACONDATA named = beaconOf(c.named);
    EXPECT_EQ(named.type, c.type) << c.named;
    EXPECT_EQ(named.optional, c.optional) << c.named;
    EXPECT_EQ(beacon::Describe(named), c.words);
    const ATS_BEACONDATA raw =
        beaconOf(fmt::format("type = {}\noptional = {}\n", c.type, c.optional));
    EXPECT_EQ(beacon::Describe(raw), c.words);
  }
}

TEST(ScenarioFile, Int32EdgesAreAccepted) {
  const Scenario s = ParseScenario(
      "[run]\nend_location = 10\n[[beacon]]\nlocation = 1\ntype = 17\noptional = -2147483648\n"
      "[[beacon]]\nlocation = 2\ntype = 18\noptional = 2147483647\n",
      "edges.toml");
  EXPECT_EQ(s.beacons[0].data.optional, INT32_MIN);
  EXPECT_EQ(s.beacons[1].data.optional, INT32_MAX);
  // The smallest and largest values each key accepts.
  const Scenario edge = ParseScenario(
      "[run]\nend_location = 10\nstart_time = \"23:59:59\"\nmax_duration = 0.5\n"
      "[vehicle]\npower_notches = 1\n[[beacon]]\nlocation = 1\nspeed_limit = 999\n"
      "[driver]\nreaction = 0\npower_notch = 1\n[[pause]]\ntime = 0\nduration = 10\n",
      "edge.toml");
  EXPECT_EQ(edge.startTimeMs, 86399000);
  EXPECT_EQ(edge.maxSeconds, 0.5);
  EXPECT_EQ(edge.driver.reactionSeconds, 0);
  EXPECT_EQ(edge.driver.powerNotch, 1);
  EXPECT_EQ(edge.pauses.at(0).atSeconds, 0);
  EXPECT_EQ(edge.vehicle.powerNotchCount, 1);
  EXPECT_EQ(edge.beacons.at(0).data.optional, 999);
}

TEST(ScenarioFile, MissingFileIsAnError) {
  EXPECT_THROW(LoadScenario("/nonexistent/route.toml"), ScenarioError);
}

TEST(RouteCheck, WarnsOfBeaconsOutOfPlace) {
  const Scenario s = ParseScenario(R"([run]
start_time = "08:00:00"
end_location = 3000
[[beacon]]
location = 100
speed_limit = 60
[[beacon]]
location = 200
station = { limit = 60, departure = "08:00:00" }
[[beacon]]
location = 3500
speed_limit = 70
)",
                                   "route.toml");
  const std::vector<std::string> expected = {
      "route.toml:7: warning: station beacon with no stopping-point beacon before it",
      "route.toml:7: warning: departure time earlier than the train can arrive",
      "route.toml:10: warning: beacon past the end of the route"};
  EXPECT_EQ(CheckRoute(s), expected);
  // A braking beacon right after a lowered limit ends the stretch notch 4 has.
  const Scenario drop = ParseScenario(R"([run]
end_location = 6000
[[beacon]]
location = 0
stopping_point = { this = 5000, next = 5000 }
[[beacon]]
location = 0
speed_limit = 80
[[beacon]]
location = 1000
speed_limit = 40
[[beacon]]
location = 1010
braking = { final_speed = 20, end = 1500 }
)",
                                      "drop.toml");
  const std::vector<std::string> warnings = CheckRoute(drop);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(
      warnings[0].rfind("drop.toml:9: warning: the limit falls from 80 to 40 km/h 10 m before "
                        "the stopping curve at 1010 m, and notch 4 needs 417 m",
                        0),
      0u)
      << warnings[0];
}

}  // namespace
