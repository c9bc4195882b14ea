// corvane-sim run: one run of the plug-in along the line, with the
// timeline, the stop summary and the files asked for.
#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "call_log.h"
#include "channels.h"
#include "cli/commands.h"
#include "cli/session.h"
#include "host/simulator.h"
#include "model/clock_text.h"
#include "report/report.h"
#include "report/summary.h"

namespace {

void WriteCsvHeader(OutputFile& csv) {
  csv.Write(
      "time_ms,location_m,speed_kmh,mean_gradient_permille,brake,power,reverser,constant_speed,"
      "target_kmh,message,mode,docked,platform_doors,distance_unit,intervention,declared_limit_"
      "kmh\n");
}

void WriteCsvRow(OutputFile& csv, const FrameRow& f) {
  fmt::memory_buffer row;
  fmt::format_to(std::back_inserter(row),
                 "{},{:.3f},{:.3f},{},{},{},{},{},{},{},{},{},{},{},{},{}\n", f.timeMs, f.location,
                 f.speed, f.permille, f.handles.brake, f.handles.power, f.handles.reverser,
                 f.handles.constantSpeed, f.panel[panel::kTargetSpeed], f.panel[panel::kMessage],
                 f.panel[panel::kTrainMode], f.panel[panel::kDockedLamp],
                 f.panel[panel::kPlatformDoorLamp], f.panel[panel::kDistanceUnit],
                 f.intervention ? NameOf(f.intervention->kind) : "",
                 f.limit ? fmt::format("{}", f.limit->kmh) : "");
  csv.Write({row.data(), row.size()});
}

// Progress on a terminal, for runs that take more than two seconds.
std::function<void(double, int32_t)> ProgressOnTerminal() {
  if (!isatty(STDERR_FILENO)) return nullptr;
  const auto started = std::chrono::steady_clock::now();
  return [started](double fraction, int32_t timeMs) {
    if (std::chrono::steady_clock::now() - started < std::chrono::seconds(2)) return;
    fmt::print(stderr, "\r{:3.0f}%  {}\r", std::clamp(fraction, 0.0, 1.0) * 100,
               FormatTime(timeMs));
  };
}

int CheckStatus(const std::string& check, const RunResult& run) {
  if (check.empty()) return 0;
  if (!run.stall.empty() || !run.overspeeds.empty()) return kExitFailed;
  if (check == "clean" && !run.interventions.empty()) return kExitFailed;
  for (const StopRecord& stop : run.stops) {
    if (StopMissed(stop)) return kExitFailed;
  }
  return 0;
}

int Run(const Options& o, const Scenario& scenario) {
  PrintLint(scenario);
  PluginApi api{};
  Outputs out;
  if (const int status = out.Prepare(o, api); status != 0) return status;

  ReportRecorder reportFrames(scenario);
  RunHooks hooks;
  hooks.interrupted = &gInterrupted;
  hooks.progress = ProgressOnTerminal();
  hooks.keepGoing = o.keepGoing;
  if (out.csv) WriteCsvHeader(*out.csv);
  if (out.csv || out.report) {
    hooks.frame = [&](const FrameRow& f) {
      if (out.csv) WriteCsvRow(*out.csv, f);
      if (out.report) reportFrames.Frame(f);
    };
  }
  long calls = 0;
  if (out.record) {
    out.record->Write(fmt::format("{}\n", kCallLogHeader));
    api = RecordingApi(api, [&](const HostCall& call) {
      out.record->Write(FormatCall(call) + "\n");
      ++calls;
    });
  }

  const RunResult run = RunScenario(scenario, api, hooks);
  if (out.record) out.record->Write(FormatCallLogEnd(calls));
  if (out.report) out.report->Write(RenderReport(scenario, run, reportFrames.Finish()));
  if (!o.quiet) PrintTimeline(out.Summary(), run);
  PrintStopSummary(out.Summary(), run);
  if (gInterrupted != 0) {
    fmt::print(stderr, "corvane-sim: interrupted; no output file was written\n");
    return FlushStdout() ? 128 + gInterrupted : kExitCannotWrite;
  }
  if (!FlushStdout() || !out.Commit()) return kExitCannotWrite;
  return CheckStatus(o.check, run);
}

}  // namespace

Command AddRun(CLI::App& app, Options& o) {
  CLI::App* run = app.add_subcommand(
      "run", "Drive the plug-in along the line once (the default: corvane-sim FILE)");
  AddScenarioFile(*run, o);
  AddPlugin(*run, o);
  AddSet(*run, o);
  run->add_option("--csv", o.csv, "Write one row per frame to this file")->check(kPath);
  run->add_option("--record", o.record, "Write every call into the plug-in to this call log")
      ->check(kPath);
  run->add_option("--report", o.report, "Write a report page (one HTML file) of the run")
      ->check(kPath);
  run->add_flag("--check{stops}", o.check,
                "Exit with status 1 when a stop is missed, the run stalls or the train runs above "
                "a [[limit]] of the line; --check=clean also when the supervision intervened")
      ->check(CLI::IsMember({"stops", "clean"}));
  AddKeepGoing(*run, o);
  run->add_flag("-q,--quiet", o.quiet, "Print only warnings and the stop summary");
  run->footer(
      "Exit status:\n"
      "  0      the run went through\n"
      "  1      --check found a missed stop, a stall or a limit broken (=clean: also an "
      "intervention)\n"
      "  2      a bad scenario, plug-in or usage; an output over an input or another output\n"
      "  3      an output cannot be written\n"
      "  128+N  interrupted by signal N (130 SIGINT, 143 SIGTERM)\n");
  return {run, Run};
}
