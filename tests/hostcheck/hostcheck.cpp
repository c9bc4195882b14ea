// hostcheck: loads the plug-in the way the host does and runs a scenario
// through it, printing every frame's handles and changed panel and sound
// entries. Built natively against the .so and as a Windows program for the
// DLL under wine, so the two traces can be compared line by line. The
// Windows build also checks the exports' ordinals and stack byte counts.
#include <cstdio>
#include <cstring>
#include <string>

#include "host_call.h"
#include "train_host.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#if defined(_WIN32)
using Library = HMODULE;
Library OpenLibrary(const char* path) { return LoadLibraryA(path); }
void* Symbol(Library lib, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(lib, name));
}
void* Ordinal(Library lib, int ordinal) {
  return reinterpret_cast<void*>(GetProcAddress(lib, MAKEINTRESOURCEA(ordinal)));
}
void CloseLibrary(Library lib) { FreeLibrary(lib); }
#else
using Library = void*;
Library OpenLibrary(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
void* Symbol(Library lib, const char* name) { return dlsym(lib, name); }
void CloseLibrary(Library lib) { dlclose(lib); }
#endif

// Prints a frame: the state it was given, the handles, and what changed.
class Trace {
 public:
  void Frame(const TrainHost& host, const ATS_VEHICLESTATE& given) {
    std::printf("frame t=%d x=%.9g v=%.9g -> b=%d p=%d r=%d c=%d", given.time, given.location,
                given.speed, host.handles.brake, host.handles.power, host.handles.reverser,
                host.handles.constantSpeed);
    PrintChangedEntries("panel", host.panel, panel_);
    PrintChangedEntries("sound", host.sound, sound_);
    std::printf("\n");
  }

 private:
  int32_t panel_[kChannelCount]{};
  int32_t sound_[kChannelCount]{};
};

template <typename Step>
void RunTraced(TrainHost& host, Trace& trace, int frames, Step beforeFrame) {
  for (int i = 0; i < frames; ++i) {
    beforeFrame(i);
    const ATS_VEHICLESTATE given = host.state;
    host.Frame();
    trace.Frame(host, given);
  }
}

constexpr int32_t kEightAm = 8 * 3600 * 1000;

// Load to Dispose with beacons and keys between a few frames.
void LifecycleScenario(TrainHost& host, Trace& trace) {
  std::printf("version %d\n", host.api().GetPluginVersion());
  host.api().Initialize(0);
  host.api().SetVehicleSpec(TrainHost::kSpec);
  host.Place(500, 0, kEightAm);
  host.Beacon(kBeaconRunNumber, 12345);
  host.Beacon(kBeaconLocation, 28);
  RunTraced(host, trace, 3, [](int) {});
  host.CloseDoors();
  host.SetBrake(8);
  host.PressKey(2);
  host.PressKey(5);
  host.PressKey(10);
  host.Beacon(kBeaconSpeedLimit, 40);
  RunTraced(host, trace, 3, [](int) {});
  host.api().Initialize(1);
  host.api().HornBlow(1);
  host.api().SetSignal(3);
  RunTraced(host, trace, 2, [](int) {});
  host.api().Dispose();
}

// A whole station stop in automatic mode: start, run, brake, stop, doors,
// dwell countdown, departure chime and the next start.
void StationScenario(TrainHost& host, Trace& trace) {
  host.Start(0);
  host.Place(1000, 0, kEightAm);
  host.Beacon(kBeaconLocation, 12);
  host.Beacon(kBeaconSpeedLimit, 70);
  host.Beacon(kBeaconStoppingPoint, 2500 / 25 * 10000 + 2500 / 25);
  host.AddBeacon(1200, kBeaconDrivingOption, 3);
  host.AddBeacon(1500, kBeaconBraking, 1045001800);
  host.AddBeacon(2000, kBeaconStation, 6000000 + kEightAm / 1000 + 180);
  host.AddBeacon(2100, kBeaconLocation, 17);
  host.SetBrake(8);
  host.CloseDoors();
  host.api().KeyDown(0);
  host.api().KeyUp(0);
  bool opened = false, closed = false;
  int standing = 0;
  RunTraced(host, trace, 60 * 60 * 5, [&](int) {
    if (host.Stopped() && host.state.location > 2400) ++standing;
    if (standing == 100 && !opened) {
      host.OpenDoors();
      opened = true;
    }
    if (standing == 1600 && !closed) {
      host.CloseDoors();
      closed = true;
    }
    if (closed && host.panel[51] == 1 && host.Stopped()) host.api().KeyDown(0);
  });
}

// Rain with wiper changes: the drops and the blade on the panels.
void RainScenario(TrainHost& host, Trace& trace) {
  host.Start(0);
  host.moving = false;
  host.Place(1000, 0, kEightAm);
  host.Beacon(kBeaconRain, 300);
  RunTraced(host, trace, 3000, [&](int i) {
    if (i == 500 || i == 900) host.PressKey(3);
    if (i == 1800 || i == 2400) host.PressKey(4);
    if (i == 2600) host.Beacon(kBeaconRain, 9000);
  });
}

#if defined(_WIN32)
// Calls fn with nbytes of arguments copied onto the stack and returns how many
// bytes the callee removed; eaxOut receives the function's result register.
extern "C" uint32_t MeasureCall(void* fn, const void* args, uint32_t nbytes, uint32_t* eaxOut);
asm(R"(
  .text
  .globl _MeasureCall
_MeasureCall:
  push %ebp
  mov %esp, %ebp
  push %esi
  push %edi
  push %ebx
  mov 16(%ebp), %ecx
  sub %ecx, %esp
  mov %esp, %edi
  mov 12(%ebp), %esi
  cld
  rep movsb
  mov %esp, %ebx
  call *8(%ebp)
  mov 20(%ebp), %ecx
  mov %eax, (%ecx)
  mov %esp, %eax
  sub %ebx, %eax
  lea -12(%ebp), %esp
  pop %ebx
  pop %edi
  pop %esi
  pop %ebp
  ret
)");

struct AbiCase {
  int ordinal;
  uint32_t bytes;
  std::string args;
};

int CheckAbi(const char* path) {
  Library lib = OpenLibrary(path);
  if (lib == nullptr) {
    std::printf("cannot load %s\n", path);
    return 1;
  }
  int failures = 0;
  static int32_t panel[kChannelCount], sound[kChannelCount];
  ATS_HANDLES result{};
  const ATS_VEHICLESPEC spec = TrainHost::kSpec;
  const ATS_VEHICLESTATE state{1000.0, 0.0f, kEightAm, 0, 0, 0, 0, 0, 0};
  const ATS_BEACONDATA beacon{kBeaconSpeedLimit, 0, 0.0f, 60};
  const int32_t one = 1;
  std::string elapseArgs(52, '\0');
  ATS_HANDLES* hidden = &result;
  int32_t* panelPtr = panel;
  int32_t* soundPtr = sound;
  std::memcpy(&elapseArgs[0], &hidden, 4);
  std::memcpy(&elapseArgs[4], &state, 40);
  std::memcpy(&elapseArgs[44], &panelPtr, 4);
  std::memcpy(&elapseArgs[48], &soundPtr, 4);
  const std::string none, int32Arg(reinterpret_cast<const char*>(&one), 4);
  // In ordinal order, called as a host would: Load first, Dispose last.
  const AbiCase calls[] = {
      {1, 0, none},
      {3, 0, none},
      {4, 20, std::string(reinterpret_cast<const char*>(&spec), 20)},
      {5, 4, int32Arg},
      {6, 52, elapseArgs},
      {7, 4, int32Arg},
      {8, 4, int32Arg},
      {9, 4, int32Arg},
      {10, 4, int32Arg},
      {11, 4, int32Arg},
      {12, 4, int32Arg},
      {13, 0, none},
      {14, 0, none},
      {15, 4, int32Arg},
      {16, 16, std::string(reinterpret_cast<const char*>(&beacon), 16)},
      {2, 0, none},
  };
  for (const AbiCase& c : calls) {
    const char* name = kExportNames[c.ordinal - 1];
    void* byName = Symbol(lib, name);
    void* byOrdinal = Ordinal(lib, c.ordinal);
    if (byName == nullptr || byName != byOrdinal) {
      std::printf("FAIL %s: by name %p, by ordinal %d %p\n", name, byName, c.ordinal, byOrdinal);
      ++failures;
      continue;
    }
    uint32_t eax = 0;
    const uint32_t removed = MeasureCall(byName, c.args.data(), c.bytes, &eax);
    const bool ok = removed == c.bytes;
    std::printf("%s %-16s ordinal %2d removes %2u bytes (expected %2u)", ok ? "ok  " : "FAIL", name,
                c.ordinal, removed, c.bytes);
    failures += !ok;
    if (c.ordinal == 3) {
      std::printf(", returns %u", eax);
      failures += eax != static_cast<uint32_t>(kPluginVersion);
    }
    if (c.ordinal == 6) {
      const bool same = eax == reinterpret_cast<uint32_t>(&result);
      std::printf(", %s the hidden record pointer", same ? "returns" : "does NOT return");
      failures += !same;
    }
    std::printf("\n");
  }
  CloseLibrary(lib);
  std::printf("%s\n", failures == 0
                          ? "abi: all sixteen exports match their ordinals and stack bytes"
                          : "abi: FAILED");
  return failures == 0 ? 0 : 1;
}
#endif

int Usage() {
  std::fprintf(stderr,
               "usage: hostcheck LIBRARY lifecycle|station|rain\n"
#if defined(_WIN32)
               "       hostcheck LIBRARY abi\n"
#endif
  );
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Usage();
  const std::string scenario = argv[2];
#if defined(_WIN32)
  if (scenario == "abi") return CheckAbi(argv[1]);
#endif
  Library lib = OpenLibrary(argv[1]);
  if (lib == nullptr) {
    std::fprintf(stderr, "hostcheck: cannot load %s\n", argv[1]);
    return 1;
  }
  PluginApi api{};
  if (!ResolvePluginApi(api, [&](const char* name) { return Symbol(lib, name); })) {
    std::fprintf(stderr, "hostcheck: %s lacks an export\n", argv[1]);
    return 1;
  }
  TrainHost host(api);
  Trace trace;
  if (scenario == "lifecycle") {
    api.Load();
    LifecycleScenario(host, trace);
  } else if (scenario == "station") {
    StationScenario(host, trace);
  } else if (scenario == "rain") {
    RainScenario(host, trace);
  } else {
    return Usage();
  }
  CloseLibrary(lib);
  return 0;
}
