// Lint's forecast of each stop against the run: for each scenario file, a
// line a station: the file, the station, the error lint forecasts and the
// error where the run first came to rest, both in cm beyond the stopping
// point ("-" where there is none). scripts/measure_forecast.py draws the
// lines and sums the rows up.
#include <fmt/format.h>

#include <cmath>
#include <optional>
#include <string>

#include "fresh_library.h"
#include "host/simulator.h"
#include "lint/line_check.h"
#include "scenario/reader.h"

namespace {

std::string Cm(std::optional<double> metres) {
  return metres ? fmt::format("{:.0f}", std::round(*metres * 100)) : "-";
}

void Measure(const std::string& path) {
  const Scenario s = LoadScenario(path);
  FreshLibrary();
  RunHooks hooks;
  hooks.keepGoing = true;
  const RunResult run = RunScenario(s, LinkedApi(), hooks);
  for (const StopRecord& stop : run.stops) {
    if (stop.behindTheStart) continue;
    const std::optional<double> stood =
        stop.firstStoppedAt ? std::optional<double>(*stop.firstStoppedAt - stop.station->stop)
                            : std::nullopt;
    fmt::print("{}\t{}\t{}\t{}\n", path, stop.station->name,
               Cm(ForecastStopError(s, *stop.station)), Cm(stood));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fmt::print(stderr, "usage: stop_forecast SCENARIO...\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) Measure(argv[i]);
  return 0;
}
