// Scenario files: what a good file gives, and the message each mistake gets.
#include "scenario.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

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

TEST(ScenarioFile, MistakesNameTheFileLineAndKey) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"[run\nend_location = 1", "bad.toml:1: syntax:"},
      {"[vehicle]\ncars = 6\n", "bad.toml:1: run: missing"},
      {"[run]\nstart_location = 5\n", "bad.toml:1: run.end_location: missing"},
      {"[run]\nend_location = \"far\"\n", "bad.toml:2: run.end_location: expected a number"},
      {"[run]\nend_location = 10\ntime_step = -0.1\n",
       "bad.toml:3: run.time_step: must lie in (0, 1] seconds"},
      {"[run]\nend_location = 10\nstart_time = \"25:00:00\"\n",
       "bad.toml:3: run.start_time: \"25:00:00\" is not a time"},
      {"[run]\nend_location = 10\nspeed = 3\n", "bad.toml:3: run.speed: unknown key"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\ntype = 99\noptional = 0\n",
       "bad.toml:5: beacon.type: unknown beacon type 99"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\ntype = 14\noptional = 3000000000\n",
       "bad.toml:6: beacon.optional: 3000000000 does not fit a 32-bit integer"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\ntype = 14\n",
       "bad.toml:3: beacon.optional: missing"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 5\ntype = 14\noptional = 1\n"
       "[[beacon]]\nlocation = 4\ntype = 14\noptional = 1\n",
       "bad.toml:7: beacon.location: beacons must be listed in location order"},
      {"[run]\nend_location = 10\n[[station]]\nstop = 5\ndoor_side = 2\n",
       "bad.toml:3: station.door_side: must be -1, 0 or 1"},
      {"[run]\nend_location = 10\n[[action]]\nkey = 2\n",
       "bad.toml:3: action: give exactly one of time or location"},
      {"[run]\nend_location = 10\n[[action]]\ntime = 1\nkey = 2\nbrake = 8\n",
       "bad.toml:3: action: give exactly one of key, power, brake, reverser or doors"},
      {"[run]\nend_location = 10\n[[action]]\ntime = 1\ndoors = \"ajar\"\n",
       "bad.toml:3: action.doors: expected"},
      {"[run]\nend_location = 10\n[dynamics]\ndecel_by_notch = [1, 2]\n",
       "bad.toml:4: dynamics.decel_by_notch: expected 10 numbers"},
      {"[run]\nend_location = 10\nbeacon = 3\n", "bad.toml:3: run.beacon: unknown key"},
      {"beacon = 3\n[run]\nend_location = 10\n", "bad.toml:1: beacon: expected [[beacon]] tables"},
      {"[run]\nend_location = 10\nmax_duration = -5\n",
       "bad.toml:3: run.max_duration: must lie in (0, 604800] seconds"},
      {"[run]\nend_location = 10\nmax_duration = 1e9\n", "bad.toml:3: run.max_duration: must lie"},
      {"[run]\nend_location = 10\n[vehicle]\nbrake_notches = 0\n",
       "bad.toml:4: vehicle.brake_notches: must be at least 1"},
      {"[run]\nend_location = 10\n[vehicle]\npower_notches = -1\n",
       "bad.toml:4: vehicle.power_notches: must be at least 1"},
      {"[run]\nend_location = 10\nstart_location = 10\n",
       "bad.toml:2: run.end_location: must lie beyond run.start_location"},
      {"[run]\nend_location = 10\ntime_step_jitter = 1\n",
       "bad.toml:3: run.time_step_jitter: must lie in [0, 1)"},
      {"[run]\nend_location = 10\ntime_step_jitter = -0.1\n", "bad.toml:3: run.time_step_jitter:"},
      {"[run]\nend_location = 10\nseed = 1.5\n", "bad.toml:3: run.seed: expected an integer"},
      {"[run]\nend_location = 10\nstall_after = 0\n", "bad.toml:3: run.stall_after: must be"},
      {"[run]\nend_location = 10\n[[gradient]]\nfrom = 0\npermille = 101\n",
       "bad.toml:5: gradient.permille: must lie within -100 to 100 per mille"},
      {"[run]\nend_location = 10\n[[gradient]]\nfrom = 5\npermille = 1\n"
       "[[gradient]]\nfrom = 5\npermille = 2\n",
       "bad.toml:7: gradient.from: gradients must be listed in location order"},
      {"[run]\nend_location = 10\n[[pause]]\ntime = 3\nduration = 0\n",
       "bad.toml:5: pause.duration: must lie in (0, 10] seconds"},
      {"[run]\nend_location = 10\n[[pause]]\ntime = 3\nduration = 10.5\n",
       "bad.toml:5: pause.duration:"},
      {"[run]\nend_location = 10\n[[pause]]\ntime = -1\nduration = 1\n",
       "bad.toml:4: pause.time: must not be negative"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\nrain = 5\nspeed_limit = 5\n",
       "bad.toml:3: beacon: give either type and optional or exactly one of"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\nrain = 5\noptional = 5\n",
       "bad.toml:6: beacon.optional: a named beacon packs its own optional value"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\n"
       "stopping_point = { this = 1810, next = 3200 }\n",
       "bad.toml:5: beacon.stopping_point.this: must be a multiple of 25 m below 250 km"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\n"
       "stopping_point = { this = 250000, next = 0 }\n",
       "beacon.stopping_point.this: must be a multiple of 25 m below 250 km"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\nstopping_point = { this = 25 }\n",
       "bad.toml:5: beacon.stopping_point.next: missing"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\nrun = { number = 1000, destination = 1 "
       "}\n",
       "bad.toml:5: beacon.run.number: must lie in 0 to 999"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\nstation = { limit = 60 }\n",
       "bad.toml:5: beacon.station.departure: missing"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\n"
       "station = { limit = 60, departure = \"8:61:00\" }\n",
       "bad.toml:5: beacon.station.departure: \"8:61:00\" is not a time"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\n"
       "braking = { final_speed = 40, end = 2500, then = \"stop\" }\n",
       "bad.toml:5: beacon.braking.then: \"stop\" is none of nothing, rebrake, chime"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\n"
       "braking = { final_speed = 150, end = 2500, then = \"chime\" }\n",
       "bad.toml:5: beacon.braking.final_speed: with then = \"chime\" the final speed must be "
       "below"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\nbraking = { final_speed = 40, end = "
       "1000000 }\n",
       "bad.toml:5: beacon.braking.end: must lie in 0 to 999999"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\noption = \"coast\"\n",
       "bad.toml:5: beacon.option: \"coast\" is none of normal, constant_speed"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\noption = { show_speed = 3 }\n",
       "bad.toml:5: beacon.option.show_speed: must lie in 4 to 999"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\nspeed_limit = -5\n",
       "bad.toml:5: beacon.speed_limit: must lie in 0 to 999 km/h"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\nrain = -1\n",
       "bad.toml:5: beacon.rain: must not be negative"},
      {"[run]\nend_location = 10\n[[beacon]]\nlocation = 1\nrun = 5\n",
       "bad.toml:5: beacon.run: expected a table"},
  };
  for (const auto& c : cases) {
    try {
      ParseScenario(c.text, "bad.toml");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ScenarioError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
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
}

}  // namespace
