// corvane-sim lint: the route checks alone, no run.
#include "cli/commands.h"
#include "cli/session.h"

namespace {

int LintOnly(const Options&, const Scenario& scenario) {
  return PrintLint(scenario) == 0 ? 0 : kExitFailed;
}

}  // namespace

Command AddLint(CLI::App& app, Options& o) {
  CLI::App* lint = app.add_subcommand("lint", "Check the route only, without a run");
  AddScenarioFile(*lint, o);
  AddSet(*lint, o);
  lint->footer(
      "Exit status:\n"
      "  0      clean\n"
      "  1      warnings (on stderr, each with its line and fix)\n"
      "  2      a bad scenario or usage\n");
  return {lint, LintOnly};
}
