// windshield: rain drops gathering on the glass and a wiper that clears them.
#include "windshield.h"

#include <cassert>

#include "channels.h"
#include "confload.h"
#include "tools.h"

WindshieldState windshield;

namespace {

WindshieldState& ws = windshield;

constexpr int kMaxStepsPerFrame = 20;
constexpr int32_t kBladeTop = 100;
constexpr int32_t kMeanIntervalScale = 20000;  // ms per drop at rain 1
constexpr double kSpreadScale = 8000.0;

int32_t Opt(int option) { return gOpts[option].value; }
int32_t FirstDrop() { return Opt(optFirstDropPanel); }
int32_t DropCount() { return Opt(optDropPanelCount); }

bool IsDropPanel(int32_t index) {
  return index >= FirstDrop() && int64_t{index} - FirstDrop() < DropCount();
}

void ChooseDirectionAtRest(int32_t now) {
  const int32_t away = ws.wiperPosition == 0 ? -1 : +1;  // negated again at an end
  if (ws.wiperMode == kWiperOff) {
    ws.wiperDirection = 0;
  } else if (ws.wiperMode == kWiperIntermittent) {
    if (ws.holdWiper == -1) {
      ws.holdWiper = now;
      ws.wiperDirection = 0;
    } else if (tOn(ws.holdWiper, now, Opt(optWiperHoldTime))) {
      ws.holdWiper = -1;
      ws.wiperDirection = away;
    }
  } else {
    ws.wiperDirection = away;
  }
  if (ws.wiperDirection != 0 && Opt(optWiperSound) != -1) PlaySound(Opt(optWiperSound));
}

// The drop panels are columns across the stroke; the one under the blade is
// cleared, and a drop on it goes back to the free region.
void WipeColumn() {
  const int32_t count = DropCount();
  const int32_t idx = TruncToInt32(ws.wiperPosition / (100.0 / count) + FirstDrop());
  if (IsDropPanel(idx) && PanelValue(idx) > 0) {
    const int32_t q = ws.dropListPos[idx - FirstDrop()];
    // A panel the host set without a drop of ours has no slot to give back.
    if (q >= ws.unusedDrops && q < count && ws.dropList[q] == idx) {
      std::swap(ws.dropList[q], ws.dropList[ws.unusedDrops]);
      ws.dropListPos[ws.dropList[q] - FirstDrop()] = q;
      ++ws.unusedDrops;
    }
  }
  SetPanel(idx, 0);
}

void StepBlade(int32_t now) {
  if (ws.wiperPosition == Opt(optWiperRest)) ChooseDirectionAtRest(now);
  if (ws.wiperPosition == 0 || ws.wiperPosition == kBladeTop) {
    ws.wiperDirection = -ws.wiperDirection;
    if (ws.wiperDirection != 0 && Opt(optWiperSound) != -1 &&
        gOpts[optWiperSound].extra != nullptr) {
      PlaySound(Opt(optWiperSound));
    }
  }
  ws.wiperPosition += ws.wiperDirection;
  SetPanel(Opt(optWiperPanel), ws.wiperPosition);
  if (DropCount() > 0) WipeColumn();
}

void MoveBlade(int32_t now) {
  if (Opt(optWiperPanel) == -1) return;
  const int32_t period = Opt(optWiperSweepTime) / 100;
  for (int countdown = kMaxStepsPerFrame; tOn(ws.wiper, now, period);) {
    if (--countdown == -1) return;  // the timer has moved on one period without a step
    StepBlade(now);
  }
}

void PlayDropSound() {
  if (Opt(optDropSound) == -1) return;
  int32_t s = Opt(optDropSound);
  const int32_t* choices = gOpts[optDropSound].extra;
  if (choices != nullptr && *choices != 0) s += ws.random.Next() % *choices;
  PlaySound(s);
}

void AddDrop() {
  if (ws.unusedDrops <= 0) return;
  const int32_t r = ws.random.Next();
  const int32_t n = TruncToInt32(ws.unusedDrops * 0.8 + 1.0);
  const int32_t j = r % n;
  const int32_t p = ws.dropList[j];
  if (!IsChannel(p) || PanelValue(p) != 0) return;
  SetPanel(p, 1);
  std::swap(ws.dropList[j], ws.dropList[ws.unusedDrops - 1]);
  ws.dropListPos[p - FirstDrop()] = ws.unusedDrops - 1;
  --ws.unusedDrops;
}

// The mean interval with an even spread around it; above rain 8000 the
// spread has no range left, and the mean alone is used.
int32_t NextDropInterval() {
  const int32_t mean = kMeanIntervalScale / ws.rain;
  const int32_t base = TruncToInt32(kSpreadScale / ws.rain);
  if (base <= 0) return mean;
  return mean + ws.random.Next() % (2 * base) - base;
}

void LetItRain(int32_t now) {
  if (DropCount() <= 0) return;
  if (ws.rain < 1) {
    ws.dropTimer = now;
    return;
  }
  if (!tOn(ws.dropTimer, now, ws.dropInterval)) return;
  PlayDropSound();
  AddDrop();
  ws.dropInterval = NextDropInterval();
  assert(ws.unusedDrops >= 0 && ws.unusedDrops <= DropCount());
}

}  // namespace

void InitWindshield() {
  ws.wiper = 0;
  ws.holdWiper = -1;
  ws.wiperPosition = Opt(optWiperRest);
  ws.wiperDirection = 0;
  ws.wiperMode = kWiperOff;
  ws.rain = 0;
  ws.dropTimer = 0;
  ws.dropInterval = 0;
  OptEntry& count = gOpts[optDropPanelCount];
  if (count.value < 0) count.value = 0;
  if (count.value > kMaxDropPanels) count.value = kMaxDropPanels;
  ws.unusedDrops = count.value;
  for (int i = 0; i < kMaxDropPanels; ++i) {
    ws.dropList[i] = WrapAdd(FirstDrop(), i);
    ws.dropListPos[i] = i;
  }
}

void DestroyWindshield() {}

void AnimateWindshield() {
  MoveBlade(gState.time);
  LetItRain(gState.time);
}

void WindshieldKeyPressed(int32_t key) {
  const int32_t holdTime = Opt(optWiperHoldTime);
  if (key == Opt(optWiperUpKey)) {
    if (holdTime == 0 || ws.wiperMode == kWiperIntermittent) {
      ws.wiperMode = kWiperContinuous;
      PlaySound(sound::kWiperSwitch);
    } else if (ws.wiperMode <= kWiperOff) {
      PlaySound(sound::kWiperSwitch);
      ws.holdWiper = WrapSub(WrapSub(gState.time, holdTime), 1);  // the pause counts as over
      ws.wiperMode = kWiperIntermittent;
    }
  } else if (key == Opt(optWiperDownKey) && ws.wiperMode >= kWiperIntermittent) {
    PlaySound(sound::kWiperSwitch);
    if (holdTime == 0) {
      ws.wiperMode = kWiperOff;
    } else {
      if (ws.wiperMode == kWiperContinuous) ws.holdWiper = -1;
      --ws.wiperMode;
    }
  }
}

void WindshieldBeacon(ATS_BEACONDATA beacon) {
  if (beacon.type != kBeaconRain) return;
  ws.rain = beacon.optional;
  ws.dropInterval = 0;
  ws.dropTimer = gState.time;
}
