// Lint's earliest departure from each station against the run's: for each
// scenario file, a line a station: the file, the station, and the seconds
// after the start at which lint expects the train to leave at the earliest
// and at which the run's train started to move ("-" where there is none).
// scripts/measure_timetable.py draws the lines and sums the rows up.
#include <fmt/format.h>

#include <optional>
#include <string>

#include "fresh_library.h"
#include "host/simulator.h"
#include "lint/line_check.h"
#include "scenario/reader.h"

namespace {

std::string Seconds(std::optional<double> s) { return s ? fmt::format("{:.3f}", *s) : "-"; }

void Measure(const std::string& path) {
  const Scenario s = LoadScenario(path);
  const std::vector<std::optional<double>> lint = EarliestDepartures(s);
  FreshLibrary();
  const RunResult run = RunScenario(s, LinkedApi(), RunHooks{});
  const double start = s.startTimeMs / 1000.0;
  for (const StopRecord& stop : run.stops) {
    const size_t k = static_cast<size_t>(stop.station - s.stations.data());
    const std::optional<double> left =
        stop.departureMs ? std::optional<double>(*stop.departureMs / 1000.0 - start) : std::nullopt;
    const std::optional<double> earliest =
        lint[k] ? std::optional<double>(*lint[k] - start) : std::nullopt;
    fmt::print("{}\t{}\t{}\t{}\n", path, stop.station->name, Seconds(earliest), Seconds(left));
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
