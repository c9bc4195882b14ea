// Whole runs of the example lines through the simulator and the linked
// plug-in (the hills line with uneven frames, the metro train with every
// effect of the train model on); the counter "realtime" says how many times
// faster than real time each runs.
#include <benchmark/benchmark.h>

#include <string>

#include "fresh_library.h"
#include "host/simulator.h"
#include "scenario/reader.h"

namespace {

void WholeRun(benchmark::State& bench, const char* file) {
  const Scenario s = LoadScenario(std::string(CORVANE_EXAMPLES_DIR) + "/" + file);
  double simulated = 0;
  for (auto _ : bench) {
    FreshLibrary();
    const RunResult run = RunScenario(s, LinkedApi());
    simulated += (run.endTimeMs - s.startTimeMs) / 1000.0;
    benchmark::DoNotOptimize(run.frames);
  }
  bench.counters["realtime"] = benchmark::Counter(simulated, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(WholeRun, demo, "demo.toml")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WholeRun, hills, "hills.toml")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WholeRun, metro_train, "metro_train.toml")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
