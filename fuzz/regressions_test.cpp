// Every input that once made the fuzzer fail, replayed on each test run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "host_calls.h"

namespace {

TEST(FuzzRegressions, EveryInputRunsCleanly) {
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(CORVANE_REGRESSIONS_DIR)) {
    if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
    std::ifstream file(entry.path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    EXPECT_TRUE(RunHostCalls(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
        << entry.path();
    ++inputs;
  }
  EXPECT_GT(inputs, 0);
}

}  // namespace
