// Every input that once made a fuzzer fail, replayed on each test run
// through the harness of its folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "host_calls.h"
#include "readers_input.h"

namespace {

int ReplayFolder(const char* folder, bool (*run)(const uint8_t*, size_t)) {
  const std::filesystem::path dir = std::filesystem::path(CORVANE_REGRESSIONS_DIR) / folder;
  if (!std::filesystem::exists(dir)) return 0;
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    EXPECT_TRUE(run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) << entry.path();
    ++inputs;
  }
  return inputs;
}

TEST(FuzzRegressions, EveryInputRunsCleanly) {
  EXPECT_GT(ReplayFolder("host_calls", RunHostCalls), 0);
  ReplayFolder("scenario", ReadScenarioBytes);
  ReplayFolder("call_log", ReadCallLogBytes);
}

}  // namespace
