#include "sweep/sweep_run.h"

#include <fmt/format.h>
#include <unistd.h>

#include <sstream>

#include "host/limit_watch.h"
#include "host/plugin_loader.h"
#include "host/simulator.h"
#include "sweep/worker_pool.h"

namespace {

// In a worker: the plug-in loaded in this process, one run, its outcome.
std::string RunOne(const Scenario& s, const SweepOptions& o, const SweepPoint& point) {
  SweptRun out{point, {}, {}, {}, {}};
  PluginApi api{};
  if (!LoadPlugin(o.plugin, api, out.failure)) return Serialise(out);
  const Scenario swept = Apply(s, s.sweep, point);
  RunHooks hooks;
  hooks.keepGoing = o.keepGoing;
  hooks.interrupted = o.interrupted;
  const RunResult run = RunScenario(swept, api, hooks);
  for (const StopRecord& r : run.stops) {
    out.stops.push_back(
        {ErrorCm(r), StopMade(r), MissedBecause(r, run.stall, run.endLocation), r.behindTheStart});
  }
  for (const Overspeed& over : run.overspeeds) out.overspeeds.push_back(Describe(over));
  out.stall = run.stall;
  return Serialise(out);
}

}  // namespace

std::string Serialise(const SweptRun& run) {
  std::string text;
  for (const SweptStop& stop : run.stops) {
    text += fmt::format("stop\t{}\t{}\t{}\n", stop.errorCm ? std::to_string(*stop.errorCm) : "-",
                        stop.behind ? 2
                        : stop.made ? 1
                                    : 0,
                        stop.why);
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
      stop.made = rest.substr(a + 1, b - a - 1) == "1";
      stop.behind = rest.substr(a + 1, b - a - 1) == "2";
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
  WorkerPool pool{o.workers, o.secondsLimit, o.interrupted};
  size_t finished = 0;
  pool.Run(
      points.size(), [&](size_t job) { return RunOne(s, o, points[job]); },
      [&](const JobOutcome& outcome) {
        SweptRun& run = runs[outcome.job];
        run = outcome.failure.empty() ? Parse(outcome.text) : SweptRun{};
        if (!outcome.failure.empty()) run.failure = outcome.failure;
        run.point = points[outcome.job];
        if (o.progress) o.progress(++finished, points.size());
      });
  return runs;
}
