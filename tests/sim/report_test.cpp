// What the outputs write of text the author chose: a station's name stays a
// field of the CSV and a string of the report page's data.
#include "report/report.h"

#include <gtest/gtest.h>

#include "report/sweep_summary.h"

namespace {

Scenario Named(const std::string& name) {
  Scenario s;
  s.stations = {{name, 500, 0, std::nullopt, 1}};
  return s;
}

TEST(Outputs, TheSweepCsvQuotesNamesAndGivesValuesExactly) {
  Scenario s = Named("Kings \"Cross\", upper\nlevel");
  s.sweep = {{"seed", {1000001, 1000002}, 1}, {"time_step", {1.0 / 30}, 2}};
  // The second run's stop was closed up by the driver from 3.5 m short.
  const std::string csv =
      SweepCsv(s, {{{1, 0}, {{-3, true, ""}}, {}, "", "killed, \"hard\""},
                   {{0, 0}, {{-20, true, "", false, false, 1, -350}}, {}, "", ""}});
  EXPECT_EQ(
      csv,
      "run,seed,time_step,station,error_cm,docked,failure,first_error_cm\n"
      "1,1000002,0.03333333333333333,\"Kings \"\"Cross\"\", upper\nlevel\",-3,yes,"
      "\"killed, \"\"hard\"\"\",-3\n"
      "2,1000001,0.03333333333333333,\"Kings \"\"Cross\"\", upper\nlevel\",-20,yes,\"\",-350\n");
}

TEST(Outputs, TheReportsDataCannotEndOrHideItsScript) {
  for (const char* name : {"</script><b>", "<!--<script>", "a > b"}) {
    const std::string page = RenderReport(Named(name), RunResult{}, ReportFrames{});
    const size_t data = page.find("const run = ");
    ASSERT_NE(data, std::string::npos);
    const std::string line = page.substr(data, page.find('\n', data) - data);
    EXPECT_EQ(line.find_first_of("<>"), std::string::npos) << name;
  }
}

// A stop's close-up needs an approach: two frames before it will do; one,
// the train started there, does not.
TEST(Outputs, TheReportClosesUpOnEveryStopApproached) {
  const Scenario s = Named("Bay");
  RunResult run;
  StopRecord stop{&s.stations[0]};
  stop.arrivalMs = 10000;
  stop.stoppedAt = 500.1;
  run.stops = {stop};
  for (const size_t frames : {1, 2}) {
    ReportFrames kept;
    for (size_t i = 0; i < frames; ++i)
      kept.approaches.push_back(
          {static_cast<int32_t>(9000 + 500 * i), 480.0 + 15 * i, 10, 0, 1, 0, {}});
    const std::string page = RenderReport(s, run, kept);
    const size_t closeUps = page.find("\"closeUps\":[");
    ASSERT_NE(closeUps, std::string::npos);
    EXPECT_EQ(page.compare(closeUps + 11, 2, "[]") == 0, frames == 1) << frames;
    if (frames == 2) EXPECT_NE(page.find("\"distance\":[-20.0,-5.0,0.1]"), std::string::npos);
  }
}

}  // namespace
