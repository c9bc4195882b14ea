// Call logs: a recorded run reads back bit for bit, and each kind of bad
// log is refused with its line.
#include "call_log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include "fresh_library.h"
#include "host/simulator.h"
#include "scenario/reader.h"

namespace {

bool SameCall(const HostCall& a, const HostCall& b) {
  return a.ordinal == b.ordinal && a.value == b.value &&
         std::memcmp(&a.spec, &b.spec, sizeof a.spec) == 0 &&
         std::memcmp(&a.state, &b.state, sizeof a.state) == 0 &&
         std::memcmp(&a.beacon, &b.beacon, sizeof a.beacon) == 0;
}

TEST(CallLog, RecordedRunReadsBackBitForBit) {
  FreshLibrary();
  std::vector<HostCall> recorded;
  const Scenario s = LoadScenario(CORVANE_EXAMPLES_DIR "/demo.toml");
  RunScenario(s, RecordingApi(LinkedApi(), [&](const HostCall& c) { recorded.push_back(c); }));
  ASSERT_GT(recorded.size(), 20000u);

  std::ostringstream log;
  log << kCallLogHeader << "\n";
  for (const HostCall& c : recorded) log << FormatCall(c) << "\n";
  log << FormatCallLogEnd(static_cast<long>(recorded.size()));
  std::istringstream in(log.str());
  const std::vector<HostCall> read = ReadCallLog(in);
  ASSERT_EQ(read.size(), recorded.size());
  for (size_t i = 0; i < read.size(); ++i) {
    ASSERT_TRUE(SameCall(read[i], recorded[i]))
        << "call " << i + 1 << ": " << FormatCall(recorded[i]);
  }
}

TEST(CallLog, ExtremeValuesRoundTrip) {
  HostCall c;
  c.ordinal = kElapse;
  c.state = {-0.0,   std::nanf(""), INT32_MIN, INFINITY, -INFINITY,
             1e-45f, 3.4028235e38f, 0.1f,      -2.5f};
  const HostCall back = ParseCall(FormatCall(c), 2);
  EXPECT_TRUE(SameCall(back, c)) << FormatCall(c);
  EXPECT_TRUE(std::signbit(back.state.location));
}

// The replay makes each call as it is read: those before a fault come first.
TEST(CallLog, CallsBeforeAFaultAreReadFirst) {
  std::istringstream in("corvane-calls 2\nLoad\nKeyDown 4\nSetBrake x\n");
  CallLogReader reader(in);
  HostCall call;
  for (int ordinal : {kLoad, kKeyDown}) {
    ASSERT_TRUE(reader.Next(call));
    EXPECT_EQ(call.ordinal, ordinal);
  }
  EXPECT_THROW(reader.Next(call), CallLogError);
}

TEST(CallLog, BadLogsNameTheLine) {
  const struct {
    const char* log;
    int line;
    const char* message;
  } cases[] = {
      {"corvane-calls 1\nLoad\nend 1\n", 1, "not a call log of this version"},
      {"", 1, "not a call log of this version"},
      {"corvane-calls 2\nLoad\nJump 3\n", 3, "unknown call Jump"},
      {"corvane-calls 2\nKeyDown\n", 2, "KeyDown takes 1 values, not 0"},
      {"corvane-calls 2\nLoad 1\n", 2, "Load takes 0 values, not 1"},
      {"corvane-calls 2\nElapse 500 0 28800000 0 0\n", 2, "Elapse takes 9 values, not 5"},
      {"corvane-calls 2\nSetBrake 3000000000\n", 2, "value out of range for the value: 3000000000"},
      {"corvane-calls 2\nSetBrake 2.5\n", 2, "not a number for the value: 2.5"},
      {"corvane-calls 2\nElapse 1 1e99 0 0 0 0 0 0 0\n", 2, "value out of range for the speed"},
      {"corvane-calls 2\nSetBeaconData 13 0 x 12\n", 2, "not a number for the distance: x"},
      {"corvane-calls 2\nLoad\n\n", 3, "empty line"},
      // Cut short, miscounted, or run on past the end.
      {"corvane-calls 2\nLoad\nDispose\n", 3, "cut short: no end line after line 3"},
      {"corvane-calls 2\n", 1, "cut short: no end line after line 1"},
      {"corvane-calls 2\nLoad\nend 2\n", 3, "the end line counts 2 calls, the log 1"},
      {"corvane-calls 2\nLoad\nend 1\nDispose\n", 4, "a line after the end line"},
      // CR LF is read throughout; a bad word is quoted short.
      {"corvane-calls 2\r\nLoad\r\nSetBrake x\r\n", 3, "not a number for the value: x"},
      {"corvane-calls 2\nLoad\nSetBrake 1234567890123456789012345678901234567890123456789\n", 3,
       "value out of range for the value: 1234567890123456789012345678901234567890..."},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.log);
    try {
      ReadCallLog(in);
      ADD_FAILURE() << "accepted: " << c.log;
    } catch (const CallLogError& e) {
      EXPECT_EQ(e.line(), c.line) << c.log;
      EXPECT_NE(e.message().find(c.message), std::string::npos) << e.what();
      EXPECT_LT(e.message().size(), 100u) << e.what();  // a long line is not echoed whole
    }
  }
}

}  // namespace
