// Scenario files: what a good file gives, and the message each mistake gets.
#include "scenario.h"

#include <gtest/gtest.h>

#include <string>

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
  EXPECT_EQ(s.dynamics.lagSeconds, 0);
  EXPECT_EQ(s.startTimeMs, (7 * 3600 + 30 * 60 + 15) * 1000);
  ASSERT_EQ(s.beacons.size(), 1u);
  EXPECT_EQ(s.beacons[0].data.optional, 200072);
  EXPECT_EQ(s.beacons[0].data.signal, 3);
  EXPECT_EQ(s.beacons[0].line, 14);  // the text starts with a newline
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

TEST(ScenarioFile, MissingFileIsAnError) {
  EXPECT_THROW(LoadScenario("/nonexistent/route.toml"), ScenarioError);
}

TEST(RouteCheck, WarnsOfTheMistakesRouteAuthorsMake) {
  const Scenario s = ParseScenario(R"([run]
start_time = "08:00:00"
end_location = 3000
[[beacon]]
location = 100
type = 15
optional = 60
[[beacon]]
location = 200
type = 12
optional = 6028800
[[beacon]]
location = 900
type = 14
optional = 400040
[[beacon]]
location = 1000
type = 13
optional = 12
[[beacon]]
location = 1000
type = 12
optional = 6030000
[[beacon]]
location = 3500
type = 15
optional = 40
)",
                                   "route.toml");
  const std::vector<std::string> w = CheckRoute(s);
  ASSERT_EQ(w.size(), 4u);
  EXPECT_EQ(w[0], "route.toml:8: warning: station beacon with no stopping-point beacon before it");
  EXPECT_EQ(w[1], "route.toml:8: warning: departure time earlier than the train can arrive");
  EXPECT_NE(w[2].find("route.toml:16: warning: location beacon at the station beacon's location"),
            std::string::npos);
  EXPECT_EQ(w[3], "route.toml:24: warning: beacon past the end of the route");
}

}  // namespace
