// corvane: the tables by which a location code and a final-braking style
// shape a stop. The train control reads them, and so do the tools that
// check a route against what the train control will do.
#pragma once

#include <cstdint>

#include "channels.h"

// What a location code sets; code 29 enters the unattended area only when
// the train is already unattended.
constexpr int32_t kStateByUnattendedRunning = -1;
constexpr int32_t kStateByCode = -2;
struct LocationRule {
  int32_t code, finbak, doorside, drivestate;
};
const LocationRule& LocationRuleFor(int32_t code);

// Deceleration and the overshoot beyond the stopping point at which the
// stopping curve reaches zero, by final-braking style.
struct StoppingCurve {
  int32_t style;
  double dec, offset;
};
const StoppingCurve& StoppingCurveFor(int32_t style);
