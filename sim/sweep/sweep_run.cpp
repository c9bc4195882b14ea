#include "sweep/sweep_run.h"

#include <fmt/format.h>
#include <unistd.h>

#include <sstream>

#include "host/limit_watch.h"
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
  return {ErrorCm(r), StopMade(r), MissedBecause(r, stall, endLocation), r.behindTheStart,
          !r.stoppedAt && r.crossedAtKmh.has_value()};
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
  const RunResult run = RunScenario(swept, api, hooks);
  for (const StopRecord& r : run.stops) out.stops.push_back(Swept(r, run.stall, run.endLocation));
  for (const Overspeed& over : run.overspeeds) out.overspeeds.push_back(Describe(over));
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
  for (const SweptStop& stop : run.stops) {
    text += fmt::format("stop\t{}\t{}\t{}\n", stop.errorCm ? std::to_string(*stop.errorCm) : "-",
                        FateOf(stop), stop.why);
  }
  for (const std::string& o : run.overspeeds) text += fmt::format("over\t{}\n", o);
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
      const size_t a = rest.find('\t'), b = rest.find('\t', a + 1);
      SweptStop stop;
      if (rest.substr(0, a) != "-") stop.errorCm = std::stol(rest.substr(0, a));
      const std::string fate = rest.substr(a + 1, b - a - 1);
      stop.made = fate == std::to_string(kMade);
      stop.behind = fate == std::to_string(kBehind);
      stop.ranThrough = fate == std::to_string(kRanThrough);
      stop.why = rest.substr(b + 1);
      run.stops.push_back(stop);
    } else if (kind == "over") {
      run.overspeeds.push_back(rest);
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
  for (const SweepPoint& p : points)
    runs.push_back({p, {}, {}, {}, kInterrupted});
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
