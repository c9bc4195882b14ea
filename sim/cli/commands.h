// The subcommands, a file each: each adds itself to the command line with
// the options it takes and its exit statuses, and gives the work it does on
// the loaded scenario.
#pragma once

#include <CLI/CLI.hpp>

#include "cli/options.h"
#include "scenario/scenario.h"

using Work = int (*)(const Options& o, const Scenario& scenario);

struct Command {
  CLI::App* app;
  Work work;
};

Command AddRun(CLI::App& app, Options& o);
Command AddLint(CLI::App& app, Options& o);
Command AddSweep(CLI::App& app, Options& o);
Command AddLayout(CLI::App& app, Options& o);
Command AddBeacons(CLI::App& app, Options& o);
