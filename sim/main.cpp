// corvane-sim: drives the plug-in along a route from a scenario file, far
// faster than real time, and tells what happened.
#include <fmt/format.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <csignal>
#include <cstdio>

#include "call_log.h"
#include "channels.h"
#include "host/plugin_loader.h"
#include "host/simulator.h"
#include "layout/layout.h"
#include "lint/lint.h"
#include "model/beacon_codes.h"
#include "report/outputs.h"
#include "report/report.h"
#include "report/summary.h"
#include "report/sweep_report.h"
#include "report/sweep_summary.h"
#include "scenario/reader.h"
#include "sweep/sweep_run.h"

namespace {

constexpr int kExitCheckFailed = 1;
constexpr int kExitWarnings = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitCannotWrite = 3;

volatile std::sig_atomic_t gSignal = 0;

struct Options {
  std::string scenario, plugin = CORVANE_DEFAULT_PLUGIN, csv, record, report, check;
  std::vector<std::string> overrides;
  bool quiet = false, beacons = false, lint = false, keepGoing = false, sweep = false;
  int jobs = 0;        // workers of a sweep; 0: one a core
  std::string layout;  // --layout: the file to write
  double runLimit = 600;
};

// Location, type, optional value and meaning, as an author copies them.
void PrintBeacons(std::FILE* out, const Scenario& s) {
  fmt::print(out, "{:>10}  {:>4}  {:>11}  {}\n", "location m", "type", "optional", "meaning");
  for (const RouteBeacon& b : s.beacons) {
    fmt::print(out, "{:>10.1f}  {:>4}  {:>11}  {}\n", b.location, b.data.type, b.data.optional,
               beacon::Describe(b.data));
  }
}

// The files asked for, each opened beside its target; false when one cannot be.
class Outputs {
 public:
  bool Open(const Options& o) {
    return Open(o.csv, csv) && Open(o.record, record) && Open(o.report, report);
  }
  // Every file renamed into place, or none where one fails.
  bool Commit() {
    for (std::optional<OutputFile>* file : {&csv, &record, &report}) {
      std::string error;
      if (*file && !(*file)->Commit(error)) return Fail(error);
    }
    return true;
  }

  std::optional<OutputFile> csv, record, report;

 private:
  static bool Open(const std::string& path, std::optional<OutputFile>& file) {
    if (path.empty()) return true;
    std::string error;
    std::optional<OutputFile> opened = OutputFile::Open(path, error);
    if (!opened) return Fail(error);
    file.emplace(std::move(*opened));
    return true;
  }
  static bool Fail(const std::string& error) {
    fmt::print(stderr, "corvane-sim: {}\n", error);
    return false;
  }
};

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
  if (!run.stall.empty() || !run.overspeeds.empty()) return kExitCheckFailed;
  if (check == "clean" && !run.interventions.empty()) return kExitCheckFailed;
  for (const StopRecord& stop : run.stops) {
    if (StopMissed(stop)) return kExitCheckFailed;
  }
  return 0;
}

// The standard output written whole: a failed write is an error, not a summary lost.
bool FlushStdout() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  fmt::print(stderr, "corvane-sim: cannot write the standard output: {}\n", std::strerror(errno));
  return false;
}

// The plug-in loaded, or why not said.
bool Loaded(const std::string& plugin, PluginApi& api) {
  std::string error;
  if (LoadPlugin(plugin, api, error)) return true;
  fmt::print(stderr, "corvane-sim: {}\n", error);
  return false;
}

// No output over the scenario or the plug-in, or why not said.
bool Apart(const Options& o, const std::vector<NamedPath>& outputs) {
  const std::string clash =
      OutputClash({{"the scenario", o.scenario}, {"the plug-in", o.plugin}}, outputs);
  if (!clash.empty()) fmt::print(stderr, "corvane-sim: {}\n", clash);
  return clash.empty();
}

// Before a run or a sweep: no output over an input, the plug-in loaded, the
// output files opened. 0, or the exit status.
int Prepare(const Options& o, PluginApi& api, Outputs& out) {
  if (!Apart(o, {{"--csv", o.csv}, {"--record", o.record}, {"--report", o.report}})) {
    return kExitBadInput;
  }
  if (!Loaded(o.plugin, api)) return kExitBadInput;
  return out.Open(o) ? 0 : kExitCannotWrite;
}

// The workers of a sweep or a layout.
SweepOptions WorkerOptions(const Options& o) {
  return {o.plugin,   o.jobs > 0 ? o.jobs : static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN)),
          o.runLimit, o.keepGoing,
          &gSignal,   nullptr};
}

// Every combination of the scenario's [sweep], in worker processes.
int Sweep(const Options& o, const Scenario& scenario) {
  if (!o.record.empty()) {
    fmt::print(stderr, "corvane-sim: --sweep records no calls; run one combination with --set\n");
    return kExitBadInput;
  }
  PluginApi api{};
  Outputs out;
  if (const int status = Prepare(o, api, out); status != 0) return status;
  SweepOptions options = WorkerOptions(o);
  if (isatty(STDERR_FILENO)) {
    options.progress = [](size_t done, size_t total) {
      fmt::print(stderr, "\r{} of {} runs\r", done, total);
    };
  }
  const std::vector<SweptRun> runs = RunSweep(scenario, options);
  if (out.csv) out.csv->Write(SweepCsv(scenario, runs));
  if (out.report && !runs.empty()) {
    std::string failure;
    out.report->Write(SweepReportPage(scenario, options, WorstRun(runs).point,
                                      SweepReportData(scenario, runs), failure));
    if (!failure.empty()) fmt::print(stderr, "corvane-sim: the report's run failed: {}\n", failure);
  }
  PrintSweepSummary(stdout, scenario, runs);
  if (gSignal != 0) return FlushStdout() ? 128 + gSignal : kExitCannotWrite;
  if (!out.Commit() || !FlushStdout()) return kExitCannotWrite;
  return !o.check.empty() && SweepFailed(runs) ? kExitCheckFailed : 0;
}

// The line's beacons chosen by running the train, written to o.layout.
int LayOutLine(const Options& o, const Scenario& scenario) {
  if (!Apart(o, {{"--layout", o.layout}})) return kExitBadInput;
  if (!o.overrides.empty()) {
    fmt::print(stderr,
               "corvane-sim: --layout writes {}'s own text again, which --set does not change: "
               "write the values into the file\n",
               o.scenario);
    return kExitBadInput;
  }
  if (PluginApi api{}; !Loaded(o.plugin, api)) return kExitBadInput;
  const Layout layout = LayOut(scenario, WorkerOptions(o));
  std::string error;
  std::optional<OutputFile> file = OutputFile::Open(o.layout, error);
  if (!file) {
    fmt::print(stderr, "corvane-sim: {}\n", error);
    return kExitCannotWrite;
  }
  file->Write(LayoutFile(o.scenario, layout));
  if (!file->Commit(error)) {
    fmt::print(stderr, "corvane-sim: {}\n", error);
    return kExitCannotWrite;
  }
  fmt::print("{:<16} {:>4} {:>5} {:>8} {:>9} {:>8} {:>8} {:>5}\n", "station", "code", "style",
             "in km/h", "stop. pt", "worst cm", "median", "runs");
  bool docks = true;
  for (const StationLayout& st : layout.stations) {
    fmt::print("{:<16} {:>4} {:>5} {:>8} {:>9.0f} {:>8} {:>8} {:>5}\n", st.station->name, st.code,
               beacon::FinalBrakingStyle(st.code),
               st.runs > 0 ? fmt::format("{:.0f}", st.approach) : "-", st.stoppingPoint,
               st.runs > 0 ? StopErrorText(st.worstCm) : "-",
               st.runs > 0 ? StopErrorText(st.medianCm) : "-", st.runs);
    docks &= st.docks;
  }
  for (const StationLayout& st : layout.stations) {
    if (!st.docks) fmt::print("{}\n", st.why);
  }
  // What the layout could not mend, in the author's description (a
  // departure the train cannot keep), is said by the lint of the file.
  const std::vector<std::string> warnings = Lint(LoadScenario(o.layout));
  for (const std::string& warning : warnings) fmt::print(stderr, "{}\n", warning);
  if (!FlushStdout()) return kExitCannotWrite;
  return docks && warnings.empty() ? 0 : kExitCheckFailed;
}

int Run(const Options& o, const Scenario& scenario) {
  PluginApi api{};
  Outputs out;
  if (const int status = Prepare(o, api, out); status != 0) return status;

  ReportRecorder reportFrames(scenario);
  RunHooks hooks;
  hooks.interrupted = &gSignal;
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
  if (!o.quiet) PrintTimeline(stdout, run);
  PrintStopSummary(stdout, run);
  if (gSignal != 0) {
    fmt::print(stderr, "corvane-sim: interrupted; no output file was written\n");
    return FlushStdout() ? 128 + gSignal : kExitCannotWrite;
  }
  if (!out.Commit() || !FlushStdout()) return kExitCannotWrite;
  return CheckStatus(o.check, run);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Drives the train-control plug-in along the route of a scenario file."};
  Options o;
  app.add_option("scenario", o.scenario, "Scenario file (TOML)")->required();
  app.add_option("--plugin", o.plugin, "Plug-in library to drive")->capture_default_str();
  app.add_option("--set", o.overrides,
                 "Set a scenario key over the file's, e.g. --set dynamics.lag=0.8 (repeatable)")
      ->take_all()
      ->allow_extra_args(false);
  app.add_option("--csv", o.csv, "Write one row per frame to this file");
  app.add_option("--record", o.record, "Write every call into the plug-in to this call log");
  app.add_option("--report", o.report, "Write a report page (one HTML file) of the run");
  app.add_flag("--check{stops}", o.check,
               "Exit with status 1 when a stop is missed, the run stalls or the train runs above a "
               "[[limit]] of the line; --check=clean also "
               "when the supervision intervened")
      ->check(CLI::IsMember({"stops", "clean"}));
  app.add_flag("--sweep", o.sweep,
               "Run every combination of the scenario's [sweep] in worker processes and sum up "
               "each station");
  app.add_option("--layout", o.layout,
                 "Lay out the line's beacons by running the train and write the scenario to this "
                 "file");
  app.add_option("-j,--jobs", o.jobs, "Worker processes of a sweep (default: one a core)")
      ->check(CLI::Range(1, 256));
  app.add_option("--run-limit", o.runLimit,
                 "Seconds of wall-clock time a sweep's run may take before it is stopped")
      ->capture_default_str()
      ->check(CLI::Range(0.1, 86400.0));
  app.add_flag("--keep-going", o.keepGoing,
               "After a missed stop the host moves the train to the stopping point and the run "
               "goes on");
  app.add_flag("-q,--quiet", o.quiet, "Print only warnings and the stop summary");
  app.add_flag("--beacons", o.beacons, "Print the beacons as the host's route file takes them");
  app.add_flag("--lint", o.lint, "Check the route only: status 1 for warnings, 2 for a bad file");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : kExitBadInput;
  }
  // A closed standard output is a write error to report, not a silent death.
  std::signal(SIGPIPE, SIG_IGN);
  for (int signal : {SIGINT, SIGTERM}) std::signal(signal, [](int s) { gSignal = s; });

  Scenario scenario;
  try {
    scenario = LoadScenario(o.scenario, o.overrides);
  } catch (const ScenarioError& e) {
    fmt::print(stderr, "corvane-sim: {}\n", e.what());
    return kExitBadInput;
  }
  try {
    if (o.beacons) {
      PrintBeacons(stdout, scenario);
      return FlushStdout() ? 0 : kExitCannotWrite;
    }
    if (!o.layout.empty()) return LayOutLine(o, scenario);  // its beacons are not the line's
    const std::vector<std::string> warnings = Lint(scenario);
    for (const std::string& warning : warnings) fmt::print(stderr, "{}\n", warning);
    if (o.lint) return warnings.empty() ? 0 : kExitWarnings;
    return o.sweep ? Sweep(o, scenario) : Run(o, scenario);
  } catch (const ScenarioError& e) {  // a line --layout cannot lay out
    fmt::print(stderr, "corvane-sim: {}\n", e.what());
    return kExitBadInput;
  } catch (const std::system_error& e) {  // fmt's print to a stream that fails
    fmt::print(stderr, "corvane-sim: cannot write the standard output: {}\n", e.what());
    return kExitCannotWrite;
  }
}
