// corvane-sim: drives the plug-in along a route from a scenario file, far
// faster than real time, and tells what happened.
#include <dlfcn.h>
#include <fmt/format.h>
#include <fmt/os.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>

#include "beacon_codes.h"
#include "call_log.h"
#include "channels.h"
#include "report.h"
#include "route_check.h"
#include "scenario.h"
#include "simulator.h"
#include "summary.h"

namespace {

constexpr int kExitCheckFailed = 1;
constexpr int kExitWarnings = 1;
constexpr int kExitBadInput = 2;

bool LoadPlugin(const std::string& path, PluginApi& api) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    fmt::print(stderr, "corvane-sim: cannot load the plug-in {}: {}\n", path, dlerror());
    return false;
  }
  if (!ResolvePluginApi(api, [&](const char* name) { return dlsym(library, name); })) {
    fmt::print(stderr, "corvane-sim: {} lacks one of the sixteen exports\n", path);
    return false;
  }
  return true;
}

// Opens the file when a path is given; false when it cannot be written.
bool OpenOutput(const std::string& path, std::optional<fmt::ostream>& out) {
  if (path.empty()) return true;
  try {
    out.emplace(fmt::output_file(path));
    return true;
  } catch (const std::system_error& e) {
    fmt::print(stderr, "corvane-sim: cannot write {}: {}\n", path, e.what());
    return false;
  }
}

// Location, type, optional value and meaning, as an author copies them.
void PrintBeacons(std::FILE* out, const Scenario& s) {
  fmt::print(out, "{:>10}  {:>4}  {:>11}  {}\n", "location m", "type", "optional", "meaning");
  for (const RouteBeacon& b : s.beacons) {
    fmt::print(out, "{:>10.1f}  {:>4}  {:>11}  {}\n", b.location, b.data.type, b.data.optional,
               beacon::Describe(b.data));
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Drives the train-control plug-in along the route of a scenario file."};
  std::string scenarioPath, pluginPath = CORVANE_DEFAULT_PLUGIN, csvPath, recordPath, reportPath;
  std::string check;
  std::vector<std::string> overrides;
  bool quiet = false, listBeacons = false, lint = false;
  app.add_option("scenario", scenarioPath, "Scenario file (TOML)")->required();
  app.add_option("--plugin", pluginPath, "Plug-in library to drive")->capture_default_str();
  app.add_option("--set", overrides,
                 "Set a scenario key over the file's, e.g. --set dynamics.lag=0.8 (repeatable)")
      ->take_all()
      ->allow_extra_args(false);
  app.add_option("--csv", csvPath, "Write one row per frame to this file");
  app.add_option("--record", recordPath, "Write every call into the plug-in to this call log");
  app.add_option("--report", reportPath, "Write a report page (one HTML file) of the run");
  app.add_flag("--check{stops}", check,
               "Exit with status 1 when a stop is missed or the run stalls; --check=clean also "
               "when the supervision intervened")
      ->check(CLI::IsMember({"stops", "clean"}));
  app.add_flag("-q,--quiet", quiet, "Print only warnings and the stop summary");
  app.add_flag("--beacons", listBeacons, "Print the beacons as the host's route file takes them");
  app.add_flag("--lint", lint, "Check the route only: status 1 for warnings, 2 for a bad file");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : kExitBadInput;
  }

  Scenario scenario;
  try {
    scenario = LoadScenario(scenarioPath, overrides);
  } catch (const ScenarioError& e) {
    fmt::print(stderr, "corvane-sim: {}\n", e.what());
    return kExitBadInput;
  }
  if (listBeacons) {
    PrintBeacons(stdout, scenario);
    return 0;
  }
  const std::vector<std::string> warnings = CheckRoute(scenario);
  for (const std::string& warning : warnings) fmt::print(stderr, "{}\n", warning);
  if (lint) return warnings.empty() ? 0 : kExitWarnings;

  PluginApi api{};
  if (!LoadPlugin(pluginPath, api)) return kExitBadInput;

  RunHooks hooks;
  std::optional<fmt::ostream> csv, record, report;
  if (!OpenOutput(csvPath, csv) || !OpenOutput(recordPath, record) ||
      !OpenOutput(reportPath, report)) {
    return kExitBadInput;
  }
  ReportRecorder reportFrames(std::max(1, static_cast<int>(std::lround(0.1 / scenario.timeStep))));
  std::vector<std::function<void(const FrameRow&)>> frameSinks;
  if (report) frameSinks.push_back([&](const FrameRow& f) { reportFrames.Frame(f); });
  if (csv) {
    csv->print(
        "time_ms,location_m,speed_kmh,gradient_permille,brake,power,reverser,constant_speed,"
        "target_kmh,message,mode,docked,platform_doors,distance_unit,intervention\n");
    frameSinks.push_back([&](const FrameRow& f) {
      csv->print("{},{:.3f},{:.3f},{},{},{},{},{},{},{},{},{},{},{},{}\n", f.timeMs, f.location,
                 f.speed, f.permille, f.handles.brake, f.handles.power, f.handles.reverser,
                 f.handles.constantSpeed, f.panel[panel::kTargetSpeed], f.panel[panel::kMessage],
                 f.panel[panel::kTrainMode], f.panel[panel::kDockedLamp],
                 f.panel[panel::kPlatformDoorLamp], f.panel[panel::kDistanceUnit],
                 f.intervention ? NameOf(f.intervention->kind) : "");
    });
  }
  if (!frameSinks.empty()) {
    hooks.frame = [&](const FrameRow& f) {
      for (const auto& sink : frameSinks) sink(f);
    };
  }
  const auto started = std::chrono::steady_clock::now();
  if (isatty(STDERR_FILENO)) {
    hooks.progress = [&](double fraction, int32_t timeMs) {
      if (std::chrono::steady_clock::now() - started < std::chrono::seconds(2)) return;
      fmt::print(stderr, "\r{:3.0f}%  {}", std::clamp(fraction, 0.0, 1.0) * 100,
                 FormatTime(timeMs));
    };
  }

  if (record) {
    record->print("{}\n", kCallLogHeader);
    api = RecordingApi(api, [&](const HostCall& call) { record->print("{}\n", FormatCall(call)); });
  }

  const RunResult run = RunScenario(scenario, api, hooks);
  if (hooks.progress && std::chrono::steady_clock::now() - started >= std::chrono::seconds(2)) {
    fmt::print(stderr, "\r");
  }
  if (report) report->print("{}", RenderReport(scenario, run, reportFrames.Finish()));
  if (!quiet) PrintTimeline(stdout, run);
  PrintStopSummary(stdout, run);
  if (!check.empty()) {
    if (!run.stall.empty()) return kExitCheckFailed;
    if (check == "clean" && !run.interventions.empty()) return kExitCheckFailed;
    for (const StopRecord& stop : run.stops) {
      if (!StopMade(stop)) return kExitCheckFailed;
    }
  }
  return 0;
}
