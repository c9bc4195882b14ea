// Writes the fuzzer's seed inputs: the example lines as the simulator drives
// them, recorded as host calls (with one-second frames, to keep them short).
#include <fmt/format.h>
#include <fmt/os.h>

#include "fresh_library.h"
#include "host/simulator.h"
#include "host_call.h"
#include "host_calls.h"
#include "scenario/reader.h"

namespace {

HostCallWriter writer;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fmt::print(stderr, "usage: make_seeds OUTPUT_DIR SCENARIO...\n");
    return 2;
  }
  for (int i = 2; i < argc; ++i) {
    Scenario s = LoadScenario(argv[i]);
    s.timeStep = 1.0;
    FreshLibrary();
    writer = HostCallWriter{};
    RunScenario(s, RecordingApi(LinkedApi(), [](const HostCall& call) { writer.Append(call); }));
    const std::string path = fmt::format("{}/seed-{}", argv[1], i - 1);
    fmt::output_file(path).print("{}", writer.bytes());
    fmt::print("{}: {} bytes\n", path, writer.bytes().size());
  }
  return 0;
}
