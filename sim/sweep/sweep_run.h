// A sweep run: each combination of the scenario's [sweep] run in a worker
// process, and what came of each stop, limit and stall.
#pragma once

#include <csignal>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "scenario/sweep_axes.h"

struct SweptStop {
  std::optional<long> errorCm;  // where the train came to rest, if it did
  bool made = false;
  std::string why;      // why it was missed
  bool behind = false;  // behind the run's start: neither made nor missed
};

struct SweptRun {
  SweepPoint point;
  std::vector<SweptStop> stops;  // by station
  std::vector<std::string> overspeeds;
  std::string stall;
  std::string failure;  // the worker's, when it did not finish
};

struct SweepOptions {
  std::string plugin;
  int workers = 1;
  double secondsLimit = 600;
  bool keepGoing = false;
  const volatile std::sig_atomic_t* interrupted = nullptr;
  std::function<void(size_t done, size_t total)> progress;
};

// Every combination, in the order of Combinations().
std::vector<SweptRun> RunSweep(const Scenario& s, const SweepOptions& o);

// What a worker writes of its run, and reads back.
std::string Serialise(const SweptRun& run);
SweptRun Parse(const std::string& text);
