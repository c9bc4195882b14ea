#include "report/outputs.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

namespace fs = std::filesystem;

namespace {

constexpr int kMostLinks = 40;  // followed from an output's path, as the system does
constexpr int kPipeWaitMs = 10000, kPipeRetryMs = 100;  // for a reader of a named pipe

// Streams and devices (/dev/stdout, /proc/self/fd/1) are written in place.
bool InPlace(const fs::path& given, const fs::path& resolved, const fs::file_status& status) {
  const auto special = [](const fs::path& p) {
    const std::string text = p.string();
    return text.rfind("/dev/", 0) == 0 || text.rfind("/proc/", 0) == 0;
  };
  return (fs::exists(status) && !fs::is_regular_file(status)) || special(given) ||
         special(resolved);
}

// A named pipe, once a process reads it: waiting for one without end would
// hang the tool where no reader comes.
std::FILE* OpenedPipe(const std::string& path, std::string& error) {
  for (int waited = 0;; waited += kPipeRetryMs) {
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      return fdopen(fd, "w");
    }
    if (errno != ENXIO) {
      error = fmt::format("cannot write {}: {}", path, std::strerror(errno));
      return nullptr;
    }
    if (waited >= kPipeWaitMs) {
      error = fmt::format("cannot write {}: no process read the pipe within {} s", path,
                          kPipeWaitMs / 1000);
      return nullptr;
    }
    usleep(kPipeRetryMs * 1000);
  }
}

bool IsStandardOutput(const std::string& path) {
  struct stat out {
  }, target{};
  return fstat(STDOUT_FILENO, &out) == 0 && stat(path.c_str(), &target) == 0 &&
         out.st_dev == target.st_dev && out.st_ino == target.st_ino;
}

}  // namespace

std::optional<OutputFile> OutputFile::Open(const std::string& path, std::string& error) {
  // The standard output itself, by any name: written through it, before the run's lines.
  if (path == "-" || IsStandardOutput(path)) return OutputFile(path, "", true, stdout);
  std::error_code ignored;
  const fs::path given = fs::absolute(path, ignored);
  // A link is followed, also to a file not there yet: the file it names is
  // replaced, the link kept.
  fs::path target = given;
  for (int hops = 0; fs::is_symlink(target, ignored); ++hops) {
    if (hops == kMostLinks) {
      error = fmt::format("cannot write {}: {}", path, std::strerror(ELOOP));
      return std::nullopt;
    }
    target = target.parent_path() / fs::read_symlink(target, ignored);
  }
  target = fs::weakly_canonical(target, ignored);
  if (target.empty()) target = given;
  const fs::file_status status = fs::status(target, ignored);
  if (fs::is_directory(status)) {
    error = fmt::format("cannot write {}: it is a directory", path);
    return std::nullopt;
  }
  if (fs::is_regular_file(status) && fs::equivalent(target, "/proc/self/exe", ignored)) {
    error = fmt::format("cannot write {}: it is this program", path);
    return std::nullopt;
  }
  if (fs::is_fifo(status)) return OpenPipe(path, error);
  if (InPlace(given, target, status)) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) error = fmt::format("cannot write {}: {}", path, std::strerror(errno));
    if (file == nullptr) return std::nullopt;
    return OutputFile(path, "", true, file);
  }
  std::string temporary =
      (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  // A file with no name until it is whole, so that nothing is left behind
  // even by a killed process; a named temporary where the file system has none.
  int fd = open(target.parent_path().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  const bool named = fd < 0;
  if (named) fd = mkstemp(temporary.data());
  if (fd < 0) {
    error = fmt::format("cannot write {}: {}", path, std::strerror(errno));
    return std::nullopt;
  }
  return OutputFile(target.string(), temporary, named, fdopen(fd, "w"));
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : path_(std::move(other.path_)),
      temporary_(std::move(other.temporary_)),
      named_(other.named_),
      streamed_(other.streamed_),
      writeErrno_(other.writeErrno_),
      file_(std::exchange(other.file_, nullptr)) {}

OutputFile::~OutputFile() { Discard(); }

void OutputFile::Discard() {
  if (file_ != nullptr && file_ != stdout) std::fclose(file_);
  file_ = nullptr;
  if (named_ && !placed_ && !temporary_.empty()) std::remove(temporary_.c_str());
  placed_ = true;  // nothing of it is left to place
}

std::optional<OutputFile> OutputFile::OpenPipe(const std::string& path, std::string& error) {
  std::FILE* file = OpenedPipe(path, error);
  if (file == nullptr) return std::nullopt;
  return OutputFile(path, "", true, file);
}

bool OutputFile::Finish(std::string& error) {
  const bool written = std::fflush(file_) == 0 && !std::ferror(file_);
  const int writeErrno = writeErrno_ != 0 ? writeErrno_ : errno;
  if (!written) {
    Discard();
    error = fmt::format("cannot write {}: {}", path_, std::strerror(writeErrno));
    return false;
  }
  if (!temporary_.empty()) {
    // The file is the user's as a new file would be, not private as a
    // temporary; a file replaced keeps its own permissions.
    const mode_t mask = umask(0);
    umask(mask);
    struct stat replaced {};
    const bool kept = stat(path_.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode);
    fchmod(fileno(file_), kept ? replaced.st_mode & 07777 : 0666 & ~mask);
  }
  if (!temporary_.empty() && !named_ && !Name()) {
    error = fmt::format("cannot write {}: {}", path_, std::strerror(errno));
    Discard();
    return false;
  }
  std::FILE* file = std::exchange(file_, nullptr);
  if (file == stdout || std::fclose(file) == 0) return true;
  error = fmt::format("cannot write {}: {}", path_, std::strerror(errno));
  Discard();
  return false;
}

bool OutputFile::Place(std::string& error) {
  if (placed_ || temporary_.empty() || std::rename(temporary_.c_str(), path_.c_str()) == 0) {
    placed_ = true;
    return true;
  }
  error = fmt::format("cannot write {}: {}", path_, std::strerror(errno));
  Discard();
  return false;
}

bool CommitAll(std::initializer_list<std::optional<OutputFile>*> outputs, std::string& error) {
  for (std::optional<OutputFile>* out : outputs) {
    if (*out && !(*out)->Finish(error)) return false;
  }
  for (std::optional<OutputFile>* out : outputs) {
    if (*out && !(*out)->Place(error)) return false;
  }
  return true;
}

// Gives the unnamed file a temporary name beside its target, to be renamed
// over it: a link cannot replace a file.
bool OutputFile::Name() {
  const std::string self = fmt::format("/proc/self/fd/{}", fileno(file_));
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = temporary_;
    name.replace(name.size() - 6, 6, fmt::format("{:06}", (getpid() * 100 + attempt) % 1000000));
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      temporary_ = name;
      named_ = true;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

namespace {

// "-" is the standard output, which may be redirected onto an input.
bool SameFile(std::string a, std::string b) {
  for (std::string* path : {&a, &b}) {
    if (*path == "-") *path = "/dev/stdout";
  }
  if (a == b) return true;
  std::error_code ea, eb;
  if (fs::exists(a, ea) && fs::exists(b, eb)) return fs::equivalent(a, b, ea);
  return fs::weakly_canonical(fs::absolute(a), ea) == fs::weakly_canonical(fs::absolute(b), eb);
}

}  // namespace

std::string OutputClash(const std::vector<NamedPath>& inputs,
                        const std::vector<NamedPath>& outputs) {
  for (size_t i = 0; i < outputs.size(); ++i) {
    const auto& [role, path] = outputs[i];
    if (path.empty()) continue;  // not asked for
    for (const auto& [inputRole, input] : inputs) {
      if (SameFile(path, input)) {
        return fmt::format("{} {} is {} {}: refusing to overwrite it", role, path, inputRole,
                           input);
      }
    }
    for (size_t j = 0; j < i; ++j) {
      if (!outputs[j].second.empty() && SameFile(path, outputs[j].second)) {
        return fmt::format("{} {} is the same file as {} {}", role, path, outputs[j].first,
                           outputs[j].second);
      }
    }
  }
  return "";
}
