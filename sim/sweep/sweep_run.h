// A sweep run: each combination of the scenario's [sweep] run in a worker
// process, and what came of each stop, limit and stall. The one run a
// worker makes and the text it reports it in serve every caller that runs
// the train in workers.
#pragma once

#include <csignal>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/stops.h"
#include "scenario/sweep_axes.h"

struct SweptStop {
  std::optional<long> errorCm;       // where the train came to rest, if it did
  bool made = false;                 // the run's own judgement: StopMade
  std::string why;                   // why it was missed
  bool behind = false;               // behind the run's start: neither made nor missed
  bool ranThrough = false;           // missed: it crossed the stopping point and never stood
  int corrections = 0;               // start-key presses that closed it up
  std::optional<long> firstErrorCm;  // where it first came to rest, before them
};

struct SweptRun {
  SweepPoint point;
  std::vector<SweptStop> stops;  // by station
  std::vector<std::string> overspeeds;
  std::string stall;
  std::string failure;                 // the worker's, when it did not finish
  std::vector<double> overspeedsFrom;  // m, where each overspeed began
};

struct SweepOptions {
  std::string plugin;
  int workers = 1;
  double secondsLimit = 600;
  bool keepGoing = false;
  const volatile std::sig_atomic_t* interrupted = nullptr;
  std::function<void(size_t done, size_t total)> progress;
  bool untilTheLastDoors = false;  // each run ends as the doors open at its last stop
};

// Every combination, in the order of Combinations().
std::vector<SweptRun> RunSweep(const Scenario& s, const SweepOptions& o);

// One run of `s` with the settings of `point` on `axes`, made in this
// process with the plug-in loaded here.
SweptRun RunPoint(const Scenario& s, const std::vector<SweepAxis>& axes, const SweepPoint& point,
                  const SweepOptions& o);

// Jobs 0 to count - 1, each the run `run(job)` makes in a worker process;
// `done` gets each run read back as its worker ends, a worker's crash or
// time-out as the run's failure.
void RunInWorkers(size_t count, const SweepOptions& o, const std::function<SweptRun(size_t)>& run,
                  const std::function<void(size_t job, SweptRun)>& done);

// A stop as the run judged it, for the stall and end of its run.
SweptStop Swept(const StopRecord& stop, const std::string& stall, double endLocation);

// What a worker writes of its run, and reads back.
std::string Serialise(const SweptRun& run);
SweptRun Parse(const std::string& text);
