// The worker pool against jobs that do odd things with their processes and
// descriptors, and against an interruption: it returns, and leaves nothing.
#include "sweep/worker_pool.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <map>
#include <thread>

namespace {

std::map<size_t, JobOutcome> RunJobs(const WorkerPool& pool, size_t count,
                                     const std::function<std::string(size_t)>& work) {
  std::map<size_t, JobOutcome> outcomes;
  pool.Run(count, work, [&](const JobOutcome& o) { outcomes[o.job] = o; });
  return outcomes;
}

// Ended (or a zombie nobody reaped yet) within a few seconds: a kill is
// delivered after it returns.
bool Ends(pid_t pid) {
  for (int tries = 0; tries < 500; ++tries) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidText, name, state;
    if (!(stat >> pidText >> name >> state) || state == "Z") return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// A job that leaves a process behind holding its pipe, or that closes its
// descriptors, ends when its own process does; what it started goes too.
TEST(WorkerPool, AJobIsOverWhenItsProcessIsWhateverItsDescriptorsDo) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const auto started = std::chrono::steady_clock::now();
  const auto outcomes = RunJobs({2, 60, nullptr}, 2, [&](size_t job) -> std::string {
    if (job == 1) {
      for (int fd = 0; fd < 1024; ++fd) close(fd);
      return "lost";
    }
    const pid_t helper = fork();
    if (helper == 0) {
      sleep(60);
      _exit(0);
    }
    (void)!write(fds[1], &helper, sizeof helper);
    return "done";
  });
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
  EXPECT_EQ(outcomes.at(0).text, "done");
  EXPECT_TRUE(outcomes.at(0).failure.empty());
  EXPECT_EQ(outcomes.at(1).failure, "exited with status 3");
  pid_t helper = 0;
  ASSERT_EQ(read(fds[0], &helper, sizeof helper), static_cast<ssize_t>(sizeof helper));
  EXPECT_TRUE(Ends(helper));
  close(fds[0]);
  close(fds[1]);
}

TEST(WorkerPool, AnInterruptionKillsTheRunningJobsAndHandsOutNoMore) {
  volatile std::sig_atomic_t interrupted = 0;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::thread interrupter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    interrupted = SIGINT;
  });
  const auto outcomes = RunJobs({2, 60, &interrupted}, 5, [&](size_t) -> std::string {
    const pid_t self = getpid();
    (void)!write(fds[1], &self, sizeof self);
    sleep(60);
    return "finished";
  });
  interrupter.join();
  ASSERT_EQ(outcomes.size(), 2u);
  for (const auto& [job, o] : outcomes) EXPECT_EQ(o.failure, kInterrupted) << job;
  for (int k = 0; k < 2; ++k) {
    pid_t worker = 0;
    ASSERT_EQ(read(fds[0], &worker, sizeof worker), static_cast<ssize_t>(sizeof worker));
    EXPECT_TRUE(Ends(worker));
  }
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
