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
// Inline: the cab converts a dozen values a frame.
inline int32_t TruncToInt32(double x) {
  if (!(x > -2147483648.0)) return x < 0 ? INT32_MIN : 0;  // NaN compares false
  if (x >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(x);
}

// std::trunc without the library call that baseline x86 makes of it; values
// of 2^52 and more are integers already, and NaN passes through.
inline double TruncToward0(double x) {
  constexpr double kAllInteger = 4503599627370496.0;
  return (x < kAllInteger && x > -kAllInteger) ? static_cast<double>(static_cast<int64_t>(x)) : x;
}

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
