// Lint's earliest departure from each station against the run's: for each
// scenario file, a line a station: the file, the station, the seconds after
// the start at which lint expects the train to leave at the earliest and at
// which the run's train started to move, then the same of their arrivals
// ("-" where there is none).
// scripts/measure_timetable.py draws the lines and sums the rows up.
#include <fmt/format.h>

#include <cmath>
#include <optional>
#include <string>

#include "fresh_library.h"
#include "host/simulator.h"
#include "lint/run_forecast.h"
#include "scenario/reader.h"

namespace {

std::string Seconds(std::optional<double> s) { return s ? fmt::format("{:.3f}", *s) : "-"; }

void Measure(const std::string& path) {
  const Scenario s = LoadScenario(path);
  std::vector<std::optional<double>> leaves(s.stations.size()), arrives(s.stations.size());
  for (const StationTime& t : ForecastRun(s).stations) {
    const size_t k = static_cast<size_t>(t.station - s.stations.data());
    if (std::isnan(t.arrives)) continue;  // not reached
    leaves[k] = t.leaves;
    arrives[k] = t.arrives;
  }
  FreshLibrary();
  const RunResult run = RunScenario(s, LinkedApi(), RunHooks{});
  const double start = s.startTimeMs / 1000.0;
  for (const StopRecord& stop : run.stops) {
    const size_t k = static_cast<size_t>(stop.station - s.stations.data());
    const auto since = [&](std::optional<double> s) {
      return s ? std::optional<double>(*s - start) : s;
    };
    const auto ms = [](std::optional<int32_t> t) {
      return t ? std::optional<double>(*t / 1000.0) : std::nullopt;
    };
    fmt::print("{}\t{}\t{}\t{}\t{}\t{}\n", path, stop.station->name, Seconds(since(leaves[k])),
               Seconds(since(ms(stop.departureMs))), Seconds(since(arrives[k])),
               Seconds(since(ms(stop.arrivalMs))));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fmt::print(stderr, "usage: timetable_forecast SCENARIO...\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) Measure(argv[i]);
  return 0;
}
