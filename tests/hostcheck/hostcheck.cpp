// hostcheck: loads the Windows DLL the way the host does and checks every
// export: found by name at its ordinal, removing its own arguments from the
// stack (stdcall), and Load-to-Dispose callable in the host's order. What the
// DLL computes is compared with the native library by replaying call logs.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "host_call.h"

namespace {

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
  HMODULE lib = LoadLibraryA(path);
  if (lib == nullptr) {
    std::printf("cannot load %s\n", path);
    return 1;
  }
  int failures = 0;
  static int32_t panel[kChannelCount], sound[kChannelCount];
  ATS_HANDLES result{};
  const ATS_VEHICLESPEC spec{8, 5, 2, 3, 6};
  const ATS_VEHICLESTATE state{1000.0, 0.0f, 8 * 3600 * 1000, 0, 0, 0, 0, 0, 0};
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
    void* byName = reinterpret_cast<void*>(GetProcAddress(lib, name));
    void* byOrdinal = reinterpret_cast<void*>(GetProcAddress(lib, MAKEINTRESOURCEA(c.ordinal)));
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
  FreeLibrary(lib);
  std::printf("%s\n", failures == 0
                          ? "abi: all sixteen exports match their ordinals and stack bytes"
                          : "abi: FAILED");
  return failures == 0 ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: hostcheck LIBRARY\n");
    return 2;
  }
  return CheckAbi(argv[1]);
}
