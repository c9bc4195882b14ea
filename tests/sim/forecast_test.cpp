// Lint forecasts each stop by driving the simulator's train model with the
// host's reading of automatic driving. On lines of every kind, each
// forecast stand is where the plug-in's run first stood, and when.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "fresh_library.h"
#include "host/simulator.h"
#include "lint/run_forecast.h"
#include "scenario/reader.h"

namespace {

constexpr double kStandCm = 2;  // where the forecast stand may differ from the run's
// and when: the forecast leaves out the holding options and the rain's
// adhesion, which move an arrival by up to 3 s on these lines.
constexpr double kArrivalSeconds = 3.5;

void ExpectForecastIsTheRun(const std::string& path) {
  SCOPED_TRACE(path);
  FreshLibrary();
  const Scenario s = LoadScenario(path);
  const RunResult run = RunScenario(s, LinkedApi());
  const std::vector<StationTime> forecast = ForecastRun(s).stations;
  int compared = 0;
  for (const StationTime& t : forecast) {
    if (std::isnan(t.arrives)) continue;
    for (const StopRecord& r : run.stops) {
      if (r.station != t.station || !r.firstStoppedAt || !r.arrivalMs) continue;
      EXPECT_NEAR(t.stood, *r.firstStoppedAt, kStandCm / 100) << t.station->name;
      EXPECT_NEAR(t.arrives, *r.arrivalMs / 1000.0, kArrivalSeconds) << t.station->name;
      ++compared;
    }
  }
  EXPECT_GT(compared, 0);
}

// Level and falling platforms, hills, braking curves into stops, the three
// styles, creeping approaches, held and not, a neutral section at the start, trains of
// two brakes, 30 to 120 frames a second.
TEST(Forecast, EachStandIsWhereAndWhenTheRunFirstStood) {
  for (const char* example : {"demo.toml", "hills.toml", "metro_train.toml", "seven_stations.toml",
                              "twelve_stations.toml"}) {
    ExpectForecastIsTheRun(std::string(CORVANE_EXAMPLES_DIR) + "/" + example);
  }
  for (const char* line :
       {"creeping_approach.toml", "fall_into_a_platform.toml", "first_metres_held_to_notch_1.toml",
        "style2_stops.toml", "braking_curves.toml", "two_stations.toml", "limit_drops.toml",
        "held_creep.toml"}) {
    ExpectForecastIsTheRun(std::string(CORVANE_TEST_DATA_DIR) + "/lines/" + line);
  }
}

}  // namespace
