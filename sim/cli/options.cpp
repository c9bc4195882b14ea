// The options shared by subcommands, with their help.
#include "cli/options.h"

#include <cmath>
#include <filesystem>
#include <system_error>

const CLI::Validator kPath(
    [](const std::string& path) { return path.empty() ? std::string("an empty path") : ""; },
    "PATH");

namespace {

// A number of seconds, finite and within the range.
CLI::Validator Seconds(double low, double high) {
  return CLI::Validator(
      [low, high](const std::string& text) -> std::string {
        double v = NAN;
        if (!CLI::detail::lexical_cast(text, v) || !std::isfinite(v) || v < low || v > high) {
          return "must be a number of seconds from " + CLI::detail::to_string(low) + " to " +
                 CLI::detail::to_string(high);
        }
        return "";
      },
      "SECONDS");
}

// The plug-in installed with this executable (bin/../lib/...), else the one
// of the build that made it.
std::string DefaultPlugin() {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    const fs::path installed = (self.parent_path() / CORVANE_INSTALLED_PLUGIN).lexically_normal();
    if (fs::exists(installed, error)) return installed.string();
  }
  return CORVANE_DEFAULT_PLUGIN;
}

}  // namespace

void AddScenarioFile(CLI::App& command, Options& o) {
  command.add_option("scenario", o.scenario, "Scenario file (TOML)")->required()->check(kPath);
}

void AddPlugin(CLI::App& command, Options& o) {
  o.plugin = DefaultPlugin();
  command
      .add_option("--plugin", o.plugin,
                  "Plug-in library to drive (default: the one installed with corvane-sim, else "
                  "the one built with it)")
      ->check(kPath);
}

void AddSet(CLI::App& command, Options& o) {
  command
      .add_option("--set", o.overrides,
                  "Set a scenario key over the file's, e.g. --set dynamics.lag=0.8 (repeatable)")
      ->take_all()
      ->allow_extra_args(false);
}

void AddKeepGoing(CLI::App& command, Options& o) {
  command.add_flag("--keep-going", o.keepGoing,
                   "After a missed stop the host moves the train to the stopping point and the run "
                   "goes on");
}

void AddWorkers(CLI::App& command, Options& o) {
  command.add_option("-j,--jobs", o.jobs, "Worker processes (default: one a core)")
      ->check(CLI::Range(1, 256));
  command
      .add_option("--run-limit", o.runLimit,
                  "Seconds of wall-clock time a worker's run may take before it is stopped (0.1 to "
                  "86400)")
      ->capture_default_str()
      ->check(Seconds(0.1, 86400));
}
