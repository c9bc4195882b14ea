// A whole run of the demo line through the simulator and the linked plug-in;
// the counter "realtime" says how many times faster than real time it runs.
#include <benchmark/benchmark.h>

#include "fresh_library.h"
#include "scenario.h"
#include "simulator.h"

namespace {

void DemoLine(benchmark::State& bench) {
  const Scenario s = LoadScenario(CORVANE_EXAMPLES_DIR "/demo.toml");
  double simulated = 0;
  for (auto _ : bench) {
    FreshLibrary();
    const RunResult run = RunScenario(s, LinkedApi());
    simulated += (run.endTimeMs - s.startTimeMs) / 1000.0;
    benchmark::DoNotOptimize(run.frames);
  }
  bench.counters["realtime"] = benchmark::Counter(simulated, benchmark::Counter::kIsRate);
}

BENCHMARK(DemoLine)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
