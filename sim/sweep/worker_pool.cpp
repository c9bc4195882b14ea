#include "sweep/worker_pool.h"

#include <fmt/format.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Child {
  size_t job;
  pid_t pid;
  int fd;  // the read end of its pipe
  Clock::time_point started;
  std::string text;
  bool timedOut = false;
};

// In the child: the job's text down the pipe, then out without running
// the parent's exit handlers or flushing its buffers.
[[noreturn]] void RunChild(int fd, size_t job, const std::function<std::string(size_t)>& work) {
  const std::string text = work(job);
  for (size_t sent = 0; sent < text.size();) {
    const ssize_t n = write(fd, text.data() + sent, text.size() - sent);
    if (n <= 0) _exit(3);
    sent += static_cast<size_t>(n);
  }
  _exit(0);
}

std::string WhyFailed(int status) {
  if (WIFSIGNALED(status)) {
    return fmt::format("killed by signal {} ({})", WTERMSIG(status), strsignal(WTERMSIG(status)));
  }
  return fmt::format("exited with status {}", WEXITSTATUS(status));
}

}  // namespace

void WorkerPool::Run(size_t count, const std::function<std::string(size_t)>& work,
                     const std::function<void(const JobOutcome&)>& done) const {
  std::vector<Child> running;
  size_t next = 0;
  const auto stopped = [&] { return interrupted != nullptr && *interrupted != 0; };
  while ((next < count && !stopped()) || !running.empty()) {
    while (next < count && !stopped() && running.size() < static_cast<size_t>(workers)) {
      int fds[2];
      if (pipe(fds) != 0) throw std::runtime_error(std::strerror(errno));
      std::fflush(nullptr);  // nothing buffered is written twice
      const pid_t pid = fork();
      if (pid < 0) throw std::runtime_error(std::strerror(errno));
      if (pid == 0) {
        close(fds[0]);
        RunChild(fds[1], next, work);
      }
      close(fds[1]);
      running.push_back({next++, pid, fds[0], Clock::now(), {}});
    }
    std::vector<pollfd> polls;
    for (const Child& c : running) polls.push_back({c.fd, POLLIN, 0});
    poll(polls.data(), polls.size(), 100);
    for (size_t i = running.size(); i-- > 0;) {
      Child& c = running[i];
      if (Clock::now() - c.started > std::chrono::duration<double>(secondsLimit) && !c.timedOut) {
        kill(c.pid, SIGKILL);
        c.timedOut = true;
      }
      if ((polls[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      char buffer[65536];
      const ssize_t n = read(c.fd, buffer, sizeof buffer);
      if (n > 0) {
        c.text.append(buffer, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      close(c.fd);
      int status = 0;
      while (waitpid(c.pid, &status, 0) < 0 && errno == EINTR) {
      }
      JobOutcome outcome{c.job, std::move(c.text), ""};
      if (c.timedOut) {
        outcome.failure = fmt::format("ran past the {:g} s limit", secondsLimit);
      } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        outcome.failure = WhyFailed(status);
      }
      running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
      done(outcome);
    }
  }
}
