// The cost of one host frame (Elapse) in three typical situations. Each
// situation is prepared once by driving the train there, then its frame is
// repeated with the clock moving on.
#include <benchmark/benchmark.h>

#include "test_line.h"

namespace {

struct Situation {
  TrainHost host{LinkedApi()};
  ATS_VEHICLESTATE state{};
};

// Automatic driving from the start key until the condition holds.
template <typename Condition>
void DriveUntil(Situation& s, int32_t stop, Condition reached) {
  FreshLibrary();
  ReadyAtStart(s.host, kModeAutomatic, 60, stop);
  s.host.AddBeacon(1500, kBeaconBraking, BrakingCurve(1, 30, 1900));
  s.host.KeyDown(0);
  while (!reached(s.host) && s.host.frames < 100000) s.host.Frame();
  s.state = s.host.state;
}

void RunFrames(benchmark::State& bench, Situation& s) {
  ATS_VEHICLESTATE state = s.state;
  int32_t* panel = s.host.panel;
  int32_t* sound = s.host.sound;
  for (auto _ : bench) {
    state.time += TrainHost::kFrameMs;
    benchmark::DoNotOptimize(Elapse(state, panel, sound));
  }
}

void Cruising(benchmark::State& bench) {
  Situation s;
  DriveUntil(s, 5000, [](TrainHost& h) { return h.state.location > 1300; });
  RunFrames(bench, s);
}

void OnABrakingCurve(benchmark::State& bench) {
  Situation s;
  DriveUntil(s, 5000, [](TrainHost& h) { return atc.braking && h.state.location > 1600; });
  RunFrames(bench, s);
}

void FinalStop(benchmark::State& bench) {
  Situation s;
  DriveUntil(s, 2000, [](TrainHost& h) { return h.state.location > 1995; });
  RunFrames(bench, s);
}

BENCHMARK(Cruising);
BENCHMARK(OnABrakingCurve);
BENCHMARK(FinalStop);

}  // namespace

BENCHMARK_MAIN();
