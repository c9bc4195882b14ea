#include "sweep/sweep_run.h"

#include <fmt/format.h>
#include <unistd.h>

#include <cmath>
#include <sstream>

#include "model/limit_watch.h"
#include "host/plugin_loader.h"
#include "host/simulator.h"
#include "sweep/worker_pool.h"

namespace {

// A stop's fate in a worker's report: missed, made, behind the start, run through.
enum Fate { kMissed, kMade, kBehind, kRanThrough };

int FateOf(const SweptStop& stop) {
  if (stop.behind) return kBehind;
  if (stop.made) return kMade;
  return stop.ranThrough ? kRanThrough : kMissed;
}

}  // namespace

SweptStop Swept(const StopRecord& r, const std::string& stall, double endLocation) {
  std::optional<long> first;
  if (r.firstStoppedAt) first = std::lround((*r.firstStoppedAt - r.station->stop) * 100);
  return {ErrorCm(r),
          StopMade(r),
          MissedBecause(r, stall, endLocation),
          r.behindTheStart,
          !r.stoppedAt && r.crossedAtKmh.has_value(),
          r.corrections,
          first};
}

SweptRun RunPoint(const Scenario& s, const std::vector<SweepAxis>& axes, const SweepPoint& point,
                  const SweepOptions& o) {
  SweptRun out{point, {}, {}, {}, {}};
  PluginApi api{};
  if (!LoadPlugin(o.plugin, api, out.failure)) return out;
  // The stop records point into the scenario: it outlives the run's result.
  const Scenario swept = Apply(s, axes, point);
  RunHooks hooks;
  hooks.keepGoing = o.keepGoing;
  hooks.interrupted = o.interrupted;
  hooks.untilTheLastDoors = o.untilTheLastDoors;
  const RunResult run = RunScenario(swept, api, hooks);
  for (const StopRecord& r : run.stops) out.stops.push_back(Swept(r, run.stall, run.endLocation));
  for (const Overspeed& over : run.overspeeds) {
    out.overspeeds.push_back(Describe(over));
    out.overspeedsFrom.push_back(over.fromMetres);
  }
  out.stall = run.stall;
  return out;
}

void RunInWorkers(size_t count, const SweepOptions& o, const std::function<SweptRun(size_t)>& run,
                  const std::function<void(size_t job, SweptRun)>& done) {
  const WorkerPool pool{o.workers, o.secondsLimit, o.interrupted};
  pool.Run(
      count, [&](size_t job) { return Serialise(run(job)); },
      [&](const JobOutcome& outcome) {
        SweptRun back = outcome.failure.empty() ? Parse(outcome.text) : SweptRun{};
        if (!outcome.failure.empty()) back.failure = outcome.failure;
        done(outcome.job, std::move(back));
      });
}

std::string Serialise(const SweptRun& run) {
  std::string text;
  const auto cm = [](const std::optional<long>& e) { return e ? std::to_string(*e) : "-"; };
  for (const SweptStop& stop : run.stops) {
    text += fmt::format("stop\t{}\t{}\t{}\t{}\t{}\n", cm(stop.errorCm), FateOf(stop),
                        stop.corrections, cm(stop.firstErrorCm), stop.why);
  }
  for (size_t i = 0; i < run.overspeeds.size(); ++i)
    text += fmt::format("over\t{}\t{}\n", run.overspeedsFrom[i], run.overspeeds[i]);
  if (!run.stall.empty()) text += fmt::format("stall\t{}\n", run.stall);
  if (!run.failure.empty()) text += fmt::format("fail\t{}\n", run.failure);
  return text + "end\n";
}

SweptRun Parse(const std::string& text) {
  SweptRun run;
  std::istringstream in(text);
  bool ended = false;
  for (std::string line; std::getline(in, line);) {
    const size_t tab = line.find('\t');
    const std::string kind = line.substr(0, tab), rest = line.substr(tab + 1);
    if (kind == "stop") {
      std::istringstream fields(rest);
      std::string error, fate, corrections, first;
      SweptStop stop;
      std::getline(fields, error, '\t');
      std::getline(fields, fate, '\t');
      std::getline(fields, corrections, '\t');
      std::getline(fields, first, '\t');
      std::getline(fields, stop.why);
      if (error != "-") stop.errorCm = std::stol(error);
      if (first != "-") stop.firstErrorCm = std::stol(first);
      stop.corrections = std::stoi(corrections);
      stop.made = fate == std::to_string(kMade);
      stop.behind = fate == std::to_string(kBehind);
      stop.ranThrough = fate == std::to_string(kRanThrough);
      run.stops.push_back(stop);
    } else if (kind == "over") {
      const size_t split = rest.find('\t');
      run.overspeedsFrom.push_back(std::stod(rest.substr(0, split)));
      run.overspeeds.push_back(rest.substr(split + 1));
    } else if (kind == "stall") {
      run.stall = rest;
    } else if (kind == "fail") {
      run.failure = rest;
    } else if (kind == "end") {
      ended = true;
    }
  }
  if (!ended && run.failure.empty()) run.failure = "ended without its results";
  return run;
}

std::vector<SweptRun> RunSweep(const Scenario& s, const SweepOptions& o) {
  const std::vector<SweepPoint> points = Combinations(s.sweep);
  std::vector<SweptRun> runs;
  for (const SweepPoint& p : points) runs.push_back({p, {}, {}, {}, kInterrupted});
  size_t finished = 0;
  RunInWorkers(
      points.size(), o, [&](size_t job) { return RunPoint(s, s.sweep, points[job], o); },
      [&](size_t job, SweptRun run) {
        run.point = points[job];
        runs[job] = std::move(run);
        if (o.progress) o.progress(++finished, points.size());
      });
  return runs;
}
