#include "report/sweep_report.h"

#include <unistd.h>

#include "host/plugin_loader.h"
#include "host/simulator.h"
#include "report/report.h"
#include "scenario/sweep_axes.h"
#include "sweep/worker_pool.h"

std::string SweepReportPage(const Scenario& s, const SweepOptions& o, const SweepPoint& point,
                            const std::string& sweepData, std::string& failure) {
  const WorkerPool pool{1, o.secondsLimit, o.interrupted};
  std::string page;
  const auto work = [&](size_t) {
    PluginApi api{};
    std::string error;
    if (!LoadPlugin(o.plugin, api, error)) _exit(2);
    const Scenario swept = Apply(s, s.sweep, point);
    ReportRecorder recorder(swept);
    RunHooks hooks;
    hooks.keepGoing = o.keepGoing;
    hooks.frame = [&](const FrameRow& f) { recorder.Frame(f); };
    const RunResult run = RunScenario(swept, api, hooks);
    return RenderReport(swept, run, recorder.Finish(), sweepData);
  };
  pool.Run(1, work, [&](const JobOutcome& outcome) {
    page = outcome.text;
    failure = outcome.failure;
  });
  return page;
}
