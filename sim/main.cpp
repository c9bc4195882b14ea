// corvane-sim: drives the plug-in along a route from a scenario file, far
// faster than real time, and tells what happened. Each job is a subcommand
// of its own file in cli/.
#include <fmt/format.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <cstdio>
#include <string>
#include <system_error>

#include "cli/command_line.h"
#include "cli/session.h"
#include "scenario/reader.h"
#include "sweep/worker_pool.h"

namespace {

constexpr int64_t kSameSignalMs = 500;

// Safe in a signal handler.
int64_t MonotonicMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// The last word on stderr, which may itself fail: nothing is thrown.
int Said(int status, const std::string& message) {
  std::fputs(("corvane-sim: " + message + "\n").c_str(), stderr);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const Invocation call = ParseCommandLine(argc, argv);
  if (call.work == nullptr) return call.status;
  // A closed standard output is a write error to report, not a silent death.
  std::signal(SIGPIPE, SIG_IGN);
  // The first signal ends the work at its next step; a second, as from a
  // user whose plug-in hangs in a call, ends the tool at once. One within
  // half a second of the first is that one delivered twice, as `timeout`
  // sends it to the tool and to its process group.
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    std::signal(signal, [](int s) {
      static std::atomic<int64_t> first{0};
      const int64_t now = MonotonicMs();
      if (gInterrupted != 0 && now - first > kSameSignalMs) _exit(128 + s);
      if (gInterrupted == 0) first = now;
      gInterrupted = s;
    });
  }

  try {
    return call.work(call.options, LoadScenario(call.options.scenario, call.options.overrides));
  } catch (const ScenarioError& e) {  // a bad file, or a line the layout cannot lay out
    return Said(kExitBadInput, e.what());
  } catch (const WorkerPoolError& e) {  // no descriptor or process for a worker
    return Said(kExitCannotWrite, e.what());
  } catch (const std::system_error& e) {  // fmt's print to a stream that fails
    return Said(kExitCannotWrite,
                std::string("cannot write the standard output or error: ") + e.what());
  }
}
