// confload: the table of numeric options and its compiled-in defaults.
#pragma once

#include <cstdint>

struct OptEntry {
  int32_t value;
  int32_t* extra;  // a further parameter of the setting, or null
};

constexpr int kOptionCount = 124;

// The entries with a reader; all belong to the windshield.
enum Option : int {
  optWiperPanel = 48,
  optWiperSweepTime = 49,
  optWiperRest = 50,
  optWiperHoldTime = 51,
  optWiperUpKey = 52,
  optWiperDownKey = 53,
  optWiperSound = 54,
  optFirstDropPanel = 55,
  optDropPanelCount = 56,
  optDropSound = 57,
};

extern OptEntry gOpts[kOptionCount];
extern bool pointersNullified;

void SetDefaults();
