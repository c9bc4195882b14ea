// A sweep's parts: the combinations, the settings each applies, the
// workers' reports read back, and workers that crash or hang.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <map>

#include "report/sweep_summary.h"
#include "scenario/scenario.h"
#include "sweep/sweep_run.h"
#include "sweep/worker_pool.h"

namespace {

const std::vector<SweepAxis> kAxes = {{"brake_scale", {0.9, 1.1}, 1}, {"seed", {1, 2, 3}, 2}};

TEST(Sweep, EveryCombinationOnceTheFirstAxisSlowest) {
  const std::vector<SweepPoint> all = Combinations(kAxes);
  ASSERT_EQ(all.size(), 6u);
  EXPECT_EQ(all.front(), (SweepPoint{0, 0}));
  EXPECT_EQ(all[1], (SweepPoint{0, 1}));
  EXPECT_EQ(all.back(), (SweepPoint{1, 2}));
  EXPECT_EQ(Describe(kAxes, all.back()), "brake_scale 1.1, seed 3");
  EXPECT_EQ(Combinations({}).size(), 1u);  // no [sweep]: the file as it stands
}

TEST(Sweep, EachSettingReachesTheTrainOrTheHost) {
  Scenario s;
  const std::vector<SweepAxis> axes = {
      {"brake_scale", {2}, 0},  {"accel_scale", {0.5}, 0},      {"load", {1}, 0},
      {"adhesion", {0.1}, 0},   {"brake_delay", {0.3}, 0},      {"lag", {1.5}, 0},
      {"time_step", {0.01}, 0}, {"time_step_jitter", {0.2}, 0}, {"seed", {9}, 0}};
  const Scenario t = Apply(s, axes, SweepPoint(axes.size(), 0));
  EXPECT_EQ(t.dynamics.decelByNotch[8], 2 * s.dynamics.decelByNotch[8]);
  EXPECT_EQ(t.dynamics.accelPerNotch, 0.5 * s.dynamics.accelPerNotch);
  EXPECT_EQ(t.dynamics.load, 1);
  EXPECT_EQ(t.dynamics.adhesion, 0.1);
  EXPECT_EQ(t.dynamics.wetAdhesion, 0.1);
  EXPECT_EQ(t.dynamics.brakeDelaySeconds, 0.3);
  EXPECT_EQ(t.dynamics.lagSeconds, 1.5);
  EXPECT_EQ(t.timeStep, 0.01);
  EXPECT_EQ(t.timeStepJitter, 0.2);
  EXPECT_EQ(t.seed, 9u);
}

TEST(Sweep, AWorkersReportReadsBackWhole) {
  const SweptRun run{{},
                     {{12, true, "", false, false, 2, -350},
                      {std::nullopt, false, "not reached: the run ended"},
                      {std::nullopt, false, "", true}},
                     {"ran 71 km/h through the 30 km/h limit from 1500 to 1820 m (+41 km/h)"},
                     "stalled at 3011.9 m: stopped 11.89 m beyond B",
                     "",
                     {1500}};
  const SweptRun back = Parse(Serialise(run));
  ASSERT_EQ(back.stops.size(), 3u);
  EXPECT_EQ(back.stops[0].errorCm, 12);
  EXPECT_TRUE(back.stops[0].made);
  EXPECT_EQ(back.stops[0].corrections, 2);  // closed up from 3.5 m short
  EXPECT_EQ(back.stops[0].firstErrorCm, -350);
  EXPECT_FALSE(back.stops[1].errorCm);
  EXPECT_EQ(back.stops[1].why, run.stops[1].why);
  for (size_t k = 0; k < 3; ++k) EXPECT_EQ(back.stops[k].behind, k == 2) << k;
  EXPECT_EQ(back.overspeeds, run.overspeeds);
  EXPECT_EQ(back.overspeedsFrom, run.overspeedsFrom);
  EXPECT_EQ(back.stall, run.stall);
  EXPECT_TRUE(back.failure.empty());
  // A report cut short is a failure, not a clean run.
  EXPECT_FALSE(Parse("stop\t12\t1\t0\t-\t\n").failure.empty());
  EXPECT_TRUE(SweepFailed({back}));
  EXPECT_FALSE(SweepFailed({Parse(Serialise({{}, {{0, true, ""}}, {}, "", ""}))}));
}

// With no beacons nothing moves the train: each run's stall comes back.
TEST(Sweep, ARunsStallComesBackFromItsWorker) {
  Scenario s;
  s.endLocation = 1000;
  s.stallAfterSeconds = 2;
  s.sweep = {{"seed", {1, 2}, 0}};
  const std::vector<SweptRun> runs =
      RunSweep(s, {CORVANE_PLUGIN_PATH, 2, 60, false, nullptr, nullptr});
  ASSERT_EQ(runs.size(), 2u);
  for (const SweptRun& r : runs) EXPECT_EQ(r.stall.rfind("stalled at 0.0 m: ", 0), 0u) << r.stall;
}

TEST(Sweep, AWorkerThatCrashesOrHangsIsReportedAndTheOthersStand) {
  const WorkerPool pool{2, 0.5, nullptr};
  std::map<size_t, JobOutcome> outcomes;
  pool.Run(
      4,
      [](size_t job) -> std::string {
        if (job == 1) std::abort();
        if (job == 2) sleep(5);
        return job == 3 ? "x" : "job " + std::to_string(job);  // one byte down the pipe too
      },
      [&](const JobOutcome& o) { outcomes[o.job] = o; });
  ASSERT_EQ(outcomes.size(), 4u);
  EXPECT_EQ(outcomes[0].text, "job 0");
  EXPECT_EQ(outcomes[3].text, "x");
  EXPECT_TRUE(outcomes[3].failure.empty());
  EXPECT_TRUE(outcomes[0].failure.empty());
  EXPECT_NE(outcomes[1].failure.find("killed by signal 6"), std::string::npos)
      << outcomes[1].failure;
  EXPECT_EQ(outcomes[2].failure, "ran past the 0.5 s limit");
}

}  // namespace
