// The parts every subcommand shares.
#include "cli/session.h"

#include <fmt/format.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "lint/lint.h"

volatile std::sig_atomic_t gInterrupted = 0;

bool Fail(const std::string& error) {
  fmt::print(stderr, "corvane-sim: {}\n", error);
  return false;
}

namespace {

bool Open(const std::string& path, std::optional<OutputFile>& file) {
  if (path.empty()) return true;
  std::string error;
  std::optional<OutputFile> opened = OutputFile::Open(path, error);
  if (!opened) return Fail(error);
  file.emplace(std::move(*opened));
  return true;
}

}  // namespace

size_t PrintLint(const Scenario& scenario) {
  const std::vector<std::string> warnings = Lint(scenario);
  for (const std::string& warning : warnings) fmt::print(stderr, "{}\n", warning);
  return warnings.size();
}

bool FlushStdout() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  return Fail(fmt::format("cannot write the standard output: {}", std::strerror(errno)));
}

bool Loaded(const std::string& plugin, PluginApi& api) {
  std::string error;
  return LoadPlugin(plugin, api, error) || Fail(error);
}

bool Apart(const Options& o, const std::vector<NamedPath>& outputs) {
  const std::string clash =
      OutputClash({{"the scenario", o.scenario}, {"the plug-in", o.plugin}}, outputs);
  return clash.empty() || Fail(clash);
}

SweepOptions WorkerOptions(const Options& o) {
  return {o.plugin,      o.jobs > 0 ? o.jobs : static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN)),
          o.runLimit,    o.keepGoing,
          &gInterrupted, nullptr};
}

int Outputs::Prepare(const Options& o, PluginApi& api) {
  if (!Apart(o, {{"--csv", o.csv}, {"--record", o.record}, {"--report", o.report}})) {
    return kExitBadInput;
  }
  if (!Loaded(o.plugin, api)) return kExitBadInput;
  const bool opened = Open(o.csv, csv) && Open(o.record, record) && Open(o.report, report);
  return opened ? 0 : kExitCannotWrite;
}

std::FILE* Outputs::Summary() const {
  for (const std::optional<OutputFile>* file : {&csv, &record, &report}) {
    if (*file && (*file)->Streamed()) return stderr;
  }
  return stdout;
}

bool Outputs::Commit() {
  std::string error;
  return CommitAll({&csv, &record, &report}, error) || Fail(error);
}
