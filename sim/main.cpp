// corvane-sim: drives the plug-in along a route from a scenario file, far
// faster than real time, and tells what happened. Each job is a subcommand
// of its own file in cli/.
#include <fmt/format.h>

#include <csignal>
#include <system_error>

#include "cli/command_line.h"
#include "cli/session.h"
#include "scenario/reader.h"
#include "sweep/worker_pool.h"

int main(int argc, char** argv) {
  const Invocation call = ParseCommandLine(argc, argv);
  if (call.work == nullptr) return call.status;
  // A closed standard output is a write error to report, not a silent death.
  std::signal(SIGPIPE, SIG_IGN);
  for (int signal : {SIGINT, SIGTERM}) std::signal(signal, [](int s) { gInterrupted = s; });

  try {
    return call.work(call.options, LoadScenario(call.options.scenario, call.options.overrides));
  } catch (const ScenarioError& e) {  // a bad file, or a line the layout cannot lay out
    fmt::print(stderr, "corvane-sim: {}\n", e.what());
    return kExitBadInput;
  } catch (const WorkerPoolError& e) {  // no descriptor or process for a worker
    fmt::print(stderr, "corvane-sim: {}\n", e.what());
    return kExitCannotWrite;
  } catch (const std::system_error& e) {  // fmt's print to a stream that fails
    fmt::print(stderr, "corvane-sim: cannot write the standard output: {}\n", e.what());
    return kExitCannotWrite;
  }
}
