// libFuzzer entry for one reader: FUZZ_SCENARIO picks the scenario reader,
// otherwise the call-log reader.
#include <cstdlib>

#include "readers_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#ifdef FUZZ_SCENARIO
  if (!ReadScenarioBytes(data, size)) std::abort();
#else
  if (!ReadCallLogBytes(data, size)) std::abort();
#endif
  return 0;
}
