// windshield: rain drops gathering on the glass and a wiper that clears them,
// drawn on the panel array.
#pragma once

#include <cstdint>
#include <random>

#include "atsplugin.h"

// The plug-in's own random source, 0 to 32767, never seeded: the same
// sequence on every platform and in every build.
class DropRandom {
 public:
  int32_t Next() { return static_cast<int32_t>(engine_() >> 16); }  // engine yields < 2^31

 private:
  std::minstd_rand engine_;
};

enum WiperMode : int32_t { kWiperOff = 0, kWiperIntermittent = 1, kWiperContinuous = 2 };

constexpr int kMaxDropPanels = 256;

struct WindshieldState {
  int32_t wiper = -1;      // tOn timer of the blade steps
  int32_t holdWiper = -1;  // start of the intermittent pause; -1 = none
  int32_t dropTimer = -1;  // tOn timer of the next drop
  int32_t wiperPosition = 0;
  int32_t wiperDirection = 0;
  int32_t wiperMode = kWiperOff;
  int32_t rain = 0;  // mean drops per 20 s; below 1 = no rain
  int32_t dropInterval = 0;
  // Slots below unusedDrops are the free spots, the rest up to the count show a drop.
  int32_t dropList[kMaxDropPanels]{};
  int32_t dropListPos[kMaxDropPanels]{};  // slot of each drop panel in dropList
  int32_t unusedDrops = 0;
  DropRandom random;
};

extern WindshieldState windshield;

void InitWindshield();
void DestroyWindshield();
void AnimateWindshield();
void WindshieldKeyPressed(int32_t key);
void WindshieldBeacon(ATS_BEACONDATA beacon);
