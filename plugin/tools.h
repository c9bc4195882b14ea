// tools: the periodic timer, the panel indicator, and the arithmetic helpers
// that keep 32-bit times and panel conversions free of undefined behaviour.
#pragma once

#include <cstdint>

#include "confload.h"

// Simulation times wrap as the host's 32-bit arithmetic does.
inline int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Truncates toward zero; NaN gives 0 and values beyond int32 saturate.
int32_t TruncToInt32(double x);

// True once per elapsed period; a timer holding 0 is not yet started.
bool tOn(int32_t& timer, int32_t now, int32_t period);

struct Indicator {
  OptEntry* opt;
  int32_t value;
  int32_t blinkTimer;  // -1 = not blinking
  bool on;
};

Indicator NewIndicator(int option, int32_t value);
void ShowIndicator(Indicator& indicator);
