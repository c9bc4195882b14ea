// What the subcommands share: the exit statuses, the signal that interrupts
// them, the plug-in loaded, outputs kept apart from the inputs and written
// whole, and the standard output flushed.
#pragma once

#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"
#include "host/plugin_loader.h"
#include "report/outputs.h"
#include "scenario/scenario.h"
#include "sweep/sweep_run.h"

constexpr int kExitFailed = 1;  // a check failed, or the lint warned
constexpr int kExitBadInput = 2;
constexpr int kExitCannotWrite = 3;

// SIGINT or SIGTERM once caught; the work stops at its next step.
extern volatile std::sig_atomic_t gInterrupted;

// "corvane-sim: error" on stderr; false.
bool Fail(const std::string& error);

// The route's warnings on stderr; how many there were.
size_t PrintLint(const Scenario& scenario);

// The standard output written whole: a failed write is an error, not a summary lost.
bool FlushStdout();

// The plug-in loaded, or why not said.
bool Loaded(const std::string& plugin, PluginApi& api);

// No output over the scenario or the plug-in, or why not said.
bool Apart(const Options& o, const std::vector<NamedPath>& outputs);

// The workers of a sweep or a layout.
SweepOptions WorkerOptions(const Options& o);

// The files a run or a sweep writes, each opened beside its target.
class Outputs {
 public:
  // No output over an input, the plug-in loaded, every file opened. 0, or the exit status.
  int Prepare(const Options& o, PluginApi& api);
  // Every file renamed into place, or none where one fails.
  bool Commit();
  // Where the summary goes: the standard error when an output is the standard output.
  std::FILE* Summary() const;

  std::optional<OutputFile> csv, record, report;
};
