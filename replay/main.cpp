// corvane-replay: replays a call log through a plug-in and prints, a line a
// call, Elapse's handles and the panel and sound entries the call changed.
// Built natively (for the .so) and as a Windows program (for the DLL).
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "call_log.h"
#include "plugin_library.h"

namespace {

constexpr int kExitBadInput = 2;
constexpr int kExitCannotWrite = 3;

void Replay(const std::vector<HostCall>& calls, const PluginApi& api) {
  int32_t panel[kChannelCount]{}, sound[kChannelCount]{};
  int32_t panelSeen[kChannelCount]{}, soundSeen[kChannelCount]{};
  for (size_t n = 0; n < calls.size(); ++n) {
    const HostCall& call = calls[n];
    const ATS_HANDLES h = Invoke(api, call, panel, sound);
    std::printf("%zu %s", n + 1, kExportNames[call.ordinal - 1]);
    if (call.ordinal == kElapse) {
      std::printf(" -> %d %d %d %d", h.brake, h.power, h.reverser, h.constantSpeed);
    }
    PrintChangedEntries("panel", panel, panelSeen);
    PrintChangedEntries("sound", sound, soundSeen);
    std::printf("\n");
    if (call.ordinal != kElapse) continue;
    for (int32_t& s : sound) {
      if (s == 1) s = kSoundStarted;
    }
    std::copy(std::begin(sound), std::end(sound), soundSeen);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: corvane-replay LOG PLUGIN\n");
    return kExitBadInput;
  }
#if !defined(_WIN32)
  std::signal(SIGPIPE, SIG_IGN);  // a closed output is a write error to report
#endif
  std::ifstream log(argv[1], std::ios::binary);
  if (!log || log.peek() == EOF && log.bad()) {
    std::fprintf(stderr, "corvane-replay: %s cannot be read: %s\n", argv[1], std::strerror(errno));
    return kExitBadInput;
  }
  std::vector<HostCall> calls;
  try {
    calls = ReadCallLog(log);
  } catch (const CallLogError& e) {
    std::fprintf(stderr, "corvane-replay: %s:%d: %s\n", argv[1], e.line(), e.message().c_str());
    return kExitBadInput;
  }
  PluginApi api{};
  std::string error;
  if (!LoadPlugin(argv[2], api, error)) {
    std::fprintf(stderr, "corvane-replay: %s\n", error.c_str());
    return kExitBadInput;
  }
  Replay(calls, api);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "corvane-replay: cannot write the standard output: %s\n",
                 std::strerror(errno));
    return kExitCannotWrite;
  }
  return 0;
}
