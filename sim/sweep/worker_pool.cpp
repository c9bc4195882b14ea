#include "sweep/worker_pool.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

// A running job: its process (and group), the read end of its pipe and
// what came down it so far.
struct Child {
  size_t job;
  pid_t pid;
  int fd;
  Clock::time_point started;
  std::string text;
  std::optional<int> status;  // once reaped
  bool timedOut = false;
};

// In the child: its own process group, killed with the parent; the job's
// text down the pipe, then out without running the parent's exit handlers
// or flushing its buffers.
[[noreturn]] void RunChild(int fd, pid_t parent, size_t job,
                           const std::function<std::string(size_t)>& work) {
  setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(4);  // the parent died before the line above
  for (int s : {SIGINT, SIGTERM}) std::signal(s, SIG_DFL);
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

// The child's group killed, then the child reaped.
void KillGroup(Child& c) {
  kill(-c.pid, SIGKILL);
  kill(c.pid, SIGKILL);  // in case it had not yet made its group
  int status = 0;
  while (waitpid(c.pid, &status, 0) < 0 && errno == EINTR) {
  }
  c.status = status;
}

class Pool {
 public:
  Pool(const WorkerPool& p, const std::function<std::string(size_t)>& work,
       const std::function<void(const JobOutcome&)>& done)
      : p_(p), work_(work), done_(done) {}
  ~Pool() {
    for (Child& c : running_) {
      KillGroup(c);
      close(c.fd);
    }
  }

  void Run(size_t count) {
    size_t next = 0;
    while ((next < count && !Stopped()) || !running_.empty()) {
      if (Stopped()) return Interrupt();
      while (next < count && running_.size() < static_cast<size_t>(p_.workers)) Start(next++);
      Wait();
      for (size_t i = running_.size(); i-- > 0;) Watch(i);
    }
  }

 private:
  bool Stopped() const { return p_.interrupted != nullptr && *p_.interrupted != 0; }

  void Start(size_t job) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) Fail("cannot start a worker: {}");
    std::fflush(nullptr);  // nothing buffered is written twice
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
      close(fds[0]);
      close(fds[1]);
      Fail("cannot start a worker: {}");
    }
    if (pid == 0) {
      close(fds[0]);
      RunChild(fds[1], parent, job, work_);
    }
    setpgid(pid, pid);  // also here, so that a kill before the child runs reaches the group
    close(fds[1]);
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    running_.push_back({job, pid, fds[0], Clock::now(), {}});
  }

  [[noreturn]] void Fail(const char* what) {
    const std::string message = fmt::format(what, std::strerror(errno));
    throw WorkerPoolError(message);  // the destructor ends the workers
  }

  // Until a worker writes or ends, or a tenth of a second.
  void Wait() {
    std::vector<pollfd> polls;
    for (const Child& c : running_) polls.push_back({c.fd, POLLIN, 0});
    poll(polls.data(), polls.size(), 100);
  }

  // A worker read, and reaped once it has ended (by its process, not by its
  // pipe, which a process it started may hold open) or run past the limit.
  void Watch(size_t i) {
    Child& c = running_[i];
    Drain(c);
    if (!c.status) {
      siginfo_t info{};
      if (waitid(P_PID, static_cast<id_t>(c.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
          info.si_pid == c.pid) {
        KillGroup(c);  // what it started goes with it
      } else if (Clock::now() - c.started > std::chrono::duration<double>(p_.secondsLimit)) {
        c.timedOut = true;
        KillGroup(c);
      } else {
        return;
      }
    }
    Drain(c);
    close(c.fd);
    JobOutcome outcome{c.job, std::move(c.text), ""};
    if (c.timedOut) {
      outcome.failure = fmt::format("ran past the {:g} s limit", p_.secondsLimit);
    } else if (!WIFEXITED(*c.status) || WEXITSTATUS(*c.status) != 0) {
      outcome.failure = WhyFailed(*c.status);
    }
    running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(i));
    done_(outcome);
  }

  static void Drain(Child& c) {
    char buffer[65536];
    for (ssize_t n; (n = read(c.fd, buffer, sizeof buffer)) != 0;) {
      if (n > 0) {
        c.text.append(buffer, static_cast<size_t>(n));
      } else if (errno != EINTR) {
        return;  // nothing more for now
      }
    }
  }

  // Every running worker killed and told as interrupted.
  void Interrupt() {
    while (!running_.empty()) {
      Child c = std::move(running_.back());
      running_.pop_back();
      KillGroup(c);
      close(c.fd);
      done_({c.job, "", kInterrupted});
    }
  }

  const WorkerPool& p_;
  const std::function<std::string(size_t)>& work_;
  const std::function<void(const JobOutcome&)>& done_;
  std::vector<Child> running_;
};

}  // namespace

void WorkerPool::Run(size_t count, const std::function<std::string(size_t)>& work,
                     const std::function<void(const JobOutcome&)>& done) const {
  Pool(*this, work, done).Run(count);
}
