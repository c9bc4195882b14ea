// Jobs run each in a child process of its own, a few at a time: a job's
// plug-in state is its process's, and a job that crashes or hangs takes
// only itself down. Each child leads a process group of its own, which the
// pool kills whole: whatever a job starts ends with it, and no child
// outlives the pool, the pool's process or an interruption.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

struct JobOutcome {
  size_t job;
  std::string text;     // what the job wrote, when it ended well
  std::string failure;  // why it did not: "killed by signal 11", "ran past 600 s"
};

// The pool could not start a worker (no pipe or no process to be had); the
// workers it had started are gone when it is thrown.
class WorkerPoolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The failure of a job cut short by an interruption.
inline constexpr const char* kInterrupted = "interrupted";

struct WorkerPool {
  int workers = 1;
  double secondsLimit = 600;  // a job's wall-clock time at most
  // Once set, no job is handed out and the running ones are killed.
  const volatile std::sig_atomic_t* interrupted = nullptr;
  // Runs jobs 0 to count - 1, each `work(job)` in a child whose returned
  // text comes back to `done`, in the order the jobs end.
  void Run(size_t count, const std::function<std::string(size_t)>& work,
           const std::function<void(const JobOutcome&)>& done) const;
};
