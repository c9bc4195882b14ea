// Jobs run each in a child process of its own, a few at a time: a job's
// plug-in state is its process's, and a job that crashes or hangs takes
// only itself down.
#pragma once

#include <csignal>
#include <functional>
#include <string>

struct JobOutcome {
  size_t job;
  std::string text;     // what the job wrote, when it ended well
  std::string failure;  // why it did not: "killed by signal 11", "ran past 600 s"
};

struct WorkerPool {
  int workers = 1;
  double secondsLimit = 600;                                // a job's wall-clock time at most
  const volatile std::sig_atomic_t* interrupted = nullptr;  // stops handing out jobs

  // Runs jobs 0 to count - 1, each `work(job)` in a child whose returned
  // text comes back to `done`, in the order the jobs end.
  void Run(size_t count, const std::function<std::string(size_t)>& work,
           const std::function<void(const JobOutcome&)>& done) const;
};
