// corvane-sim sweep: every combination of the scenario's [sweep] run in
// worker processes, and each station summed up.
#include <fmt/format.h>
#include <unistd.h>

#include "cli/commands.h"
#include "cli/session.h"
#include "report/sweep_report.h"
#include "report/sweep_summary.h"

namespace {

int Sweep(const Options& o, const Scenario& scenario) {
  PrintLint(scenario);
  PluginApi api{};
  Outputs out;
  if (const int status = out.Prepare(o, api); status != 0) return status;
  SweepOptions options = WorkerOptions(o);
  if (isatty(STDERR_FILENO)) {
    options.progress = [](size_t done, size_t total) {
      fmt::print(stderr, "\r{} of {} runs\r", done, total);
    };
  }
  const std::vector<SweptRun> runs = RunSweep(scenario, options);
  if (out.csv) out.csv->Write(SweepCsv(scenario, runs));
  std::string failure;
  if (out.report && !runs.empty() && gInterrupted == 0) {
    out.report->Write(SweepReportPage(scenario, options, WorstRun(runs).point,
                                      SweepReportData(scenario, runs), failure));
  }
  PrintSweepSummary(out.Summary(), scenario, runs);
  if (gInterrupted != 0) return FlushStdout() ? 128 + gInterrupted : kExitCannotWrite;
  if (!failure.empty()) {  // no output replaced by a page without its run
    Fail(fmt::format("the report's run failed ({}); no output was written", failure));
    return kExitCannotWrite;
  }
  if (!FlushStdout() || !out.Commit()) return kExitCannotWrite;
  return !o.check.empty() && SweepFailed(runs) ? kExitFailed : 0;
}

}  // namespace

Command AddSweep(CLI::App& app, Options& o) {
  CLI::App* sweep = app.add_subcommand(
      "sweep",
      "Run every combination of the scenario's [sweep] in worker processes and sum up each "
      "station");
  AddScenarioFile(*sweep, o);
  AddPlugin(*sweep, o);
  AddSet(*sweep, o);
  sweep->add_option("--csv", o.csv, "Write one row per run and station to this file")->check(kPath);
  sweep
      ->add_option("--report", o.report,
                   "Write the report page of the worst run, every run's stops on it")
      ->check(kPath);
  sweep->add_flag_callback(
      "--check", [&o] { o.check = "stops"; },
      "Exit with status 1 when any run missed a stop, stalled, broke a [[limit]] or failed");
  AddKeepGoing(*sweep, o);
  AddWorkers(*sweep, o);
  sweep->footer(
      "Exit status:\n"
      "  0      the sweep went through\n"
      "  1      --check found a run that missed a stop, stalled, broke a limit or failed\n"
      "  2      a bad scenario, plug-in or usage; an output over an input or another output\n"
      "  3      an output cannot be written\n"
      "  128+N  interrupted by signal N (130 SIGINT, 143 SIGTERM)\n");
  return {sweep, Sweep};
}
