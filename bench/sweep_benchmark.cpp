// Sweeps of the demo line through worker processes, one worker and two:
// the counter "runs" is runs a second; and the pool's own cost with jobs
// that do nothing.
#include <benchmark/benchmark.h>

#include <string>

#include "scenario/reader.h"
#include "sweep/sweep_run.h"
#include "sweep/worker_pool.h"

namespace {

void DemoSweep(benchmark::State& bench) {
  const Scenario s = LoadScenario(std::string(CORVANE_EXAMPLES_DIR) + "/demo.toml",
                                  {"sweep.brake_scale={from=0.9,to=1.1,steps=5}",
                                   "sweep.time_step=[0.0333,0.0167]", "sweep.seed=[1,2]"});
  const SweepOptions o{
      CORVANE_DEFAULT_PLUGIN, static_cast<int>(bench.range(0)), 600, false, nullptr, nullptr};
  size_t runs = 0;
  for (auto _ : bench) runs += RunSweep(s, o).size();
  bench.counters["runs"] =
      benchmark::Counter(static_cast<double>(runs), benchmark::Counter::kIsRate);
}

void EmptyJobs(benchmark::State& bench) {
  const WorkerPool pool{static_cast<int>(bench.range(0)), 600, nullptr};
  size_t jobs = 0;
  for (auto _ : bench) {
    pool.Run(
        100, [](size_t) { return std::string("x"); }, [&](const JobOutcome&) { ++jobs; });
  }
  bench.counters["jobs"] =
      benchmark::Counter(static_cast<double>(jobs), benchmark::Counter::kIsRate);
}

BENCHMARK(DemoSweep)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(EmptyJobs)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
