// libFuzzer entry: any sequence of host calls must leave the host's arrays'
// surroundings untouched; the sanitizers catch everything else.
#include <cstdlib>

#include "host_calls.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!RunHostCalls(data, size)) std::abort();
  return 0;
}
