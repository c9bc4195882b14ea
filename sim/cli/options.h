// What the command line asks for, and the options more than one subcommand
// takes, each defined once here and added to every subcommand that takes it.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

struct Options {
  std::string scenario, plugin;
  std::vector<std::string> overrides;  // --set KEY=VALUE
  std::string csv, record, report;     // the files a run or a sweep writes
  std::string check;                   // "stops" or "clean"; empty: no check
  std::string output;                  // the file a layout writes
  bool quiet = false, keepGoing = false;
  int jobs = 0;  // workers of a sweep or a layout; 0: one a core
  double runLimit = 600;
};

// A path that names a file: an empty one (an unset variable) is refused.
extern const CLI::Validator kPath;

void AddScenarioFile(CLI::App& command, Options& o);
void AddPlugin(CLI::App& command, Options& o);
void AddSet(CLI::App& command, Options& o);
void AddKeepGoing(CLI::App& command, Options& o);
// -j and --run-limit: the worker processes of a sweep or a layout.
void AddWorkers(CLI::App& command, Options& o);
