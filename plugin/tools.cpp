// tools: the periodic timer, the panel indicator and arithmetic helpers.
#include "tools.h"

#include "atsplugin.h"

bool tOn(int32_t& timer, int32_t now, int32_t period) {
  if (timer == 0) {
    timer = now;
    return false;
  }
  if (WrapSub(now, timer) < period) return false;
  timer = WrapAdd(timer, period);
  return true;
}

Indicator NewIndicator(int option, int32_t value) {
  return Indicator{&gOpts[option], value, -1, false};
}

void ShowIndicator(Indicator& indicator) {
  const OptEntry& entry = *indicator.opt;
  if (entry.value == -1) return;
  if (indicator.blinkTimer != -1 && entry.extra != nullptr &&
      tOn(indicator.blinkTimer, gState.time, *entry.extra)) {
    indicator.on = !indicator.on;
  }
  SetPanel(entry.value, indicator.on ? indicator.value : 0);
}
