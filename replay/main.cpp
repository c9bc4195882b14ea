// corvane-replay: replays a call log through a plug-in and prints, a line a
// call, Elapse's handles and the panel and sound entries the call changed.
// The log is read as it is replayed, so its length does not bound the
// memory; a fault in it ends the replay at its line. Built natively (for
// the .so) and as a Windows program (for the DLL).
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

// Makes each call of the log on the plug-in as it is read, and prints its
// line; stops early once the output cannot be written.
void Replay(CallLogReader& log, const PluginApi& api) {
  int32_t panel[kChannelCount]{}, sound[kChannelCount]{};
  int32_t panelSeen[kChannelCount]{}, soundSeen[kChannelCount]{};
  HostCall call;
  for (long n = 1; !std::ferror(stdout) && log.Next(call); ++n) {
    const ATS_HANDLES h = Invoke(api, call, panel, sound);
    std::printf("%ld %s", n, kExportNames[call.ordinal - 1]);
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

// The log's header read and the plug-in loaded, then the calls replayed;
// false with the reason printed on a fault in either.
bool Replayed(const char* logPath, std::istream& log, const char* pluginPath) {
  try {
    CallLogReader reader(log);
    PluginApi api{};
    std::string error;
    if (!LoadPlugin(pluginPath, api, error)) {
      std::fprintf(stderr, "corvane-replay: %s\n", error.c_str());
      return false;
    }
    Replay(reader, api);
  } catch (const CallLogError& e) {
    std::fprintf(stderr, "corvane-replay: %s:%d: %s\n", logPath, e.line(), e.message().c_str());
    return false;
  }
  return true;
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
  if (!Replayed(argv[1], log, argv[2])) return kExitBadInput;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "corvane-replay: cannot write the standard output: %s\n",
                 std::strerror(errno));
    return kExitCannotWrite;
  }
  return 0;
}
