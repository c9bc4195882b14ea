// The files a run writes, written so that nothing of the user's is lost:
// each goes to an unnamed file in its target's folder and takes the
// target's name only when complete, so a run that fails, is interrupted or
// killed leaves any earlier file under that name as it was and no partial one. A target that
// is no regular file (a device, a pipe) is written to directly.
#pragma once

#include <cerrno>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class OutputFile {
 public:
  // Opens the file that will become `path`; nothing when it cannot (`error` says why).
  static std::optional<OutputFile> Open(const std::string& path, std::string& error);
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&&) = delete;
  ~OutputFile();  // an output never committed is removed

  // Write errors are kept, with the first one's cause, and reported by Commit.
  void Write(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), file_) < text.size() && writeErrno_ == 0)
      writeErrno_ = errno;
  }
  // Flushes and closes, then renames into place; false with `error` on any
  // write error along the way, the target then untouched.
  bool Commit(std::string& error) { return Finish(error) && Place(error); }
  // The two halves of Commit, so that several outputs are all whole before
  // any replaces its target.
  bool Finish(std::string& error);
  bool Place(std::string& error);
  // Whether this output is the standard output, where a summary would mix into it.
  bool Streamed() const { return streamed_; }

 private:
  OutputFile(std::string path, std::string temporary, bool named, std::FILE* file)
      : path_(std::move(path)),
        temporary_(std::move(temporary)),
        named_(named),
        streamed_(file == stdout),
        file_(file) {}
  static std::optional<OutputFile> OpenPipe(const std::string& path, std::string& error);
  void Discard();
  bool Name();

  std::string path_, temporary_;  // no temporary: written in place
  bool named_;                    // whether the temporary has its name on disk yet
  bool streamed_;
  bool placed_ = false;
  int writeErrno_ = 0;  // the cause of the first write that failed
  std::FILE* file_;
};

// Why these outputs may not be written: one that is the same file as an
// input or as another output, however it is spelled; empty when none is.
// `inputs` and `outputs` pair a role ("the scenario", "--csv") with a path.
using NamedPath = std::pair<std::string, std::string>;

// Commits every output given, or none: each is finished before any is placed.
bool CommitAll(std::initializer_list<std::optional<OutputFile>*> outputs, std::string& error);
std::string OutputClash(const std::vector<NamedPath>& inputs,
                        const std::vector<NamedPath>& outputs);
