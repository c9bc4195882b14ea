#include "corvane_tables.h"

namespace {

// The tables keep their own layout.
// clang-format off
constexpr LocationRule kLocationRules[] = {
    {10, 1, 0, kUnattendedArea},
    {11, 2, -1, kStateByCode},
    {12, 1, -1, kStateByCode},
    {13, 1, -1, kStateByCode},
    {17, 3, +1, kStateByCode},
    {19, 1, -1, kStateByCode},
    {20, 3, +1, kStateByCode},
    {26, 1, -1, kStateByCode},
    {27, 1, -1, kStateByCode},
    {28, 1, -1, kUnattendedArea},
    {29, 1, 0, kStateByUnattendedRunning},
};
constexpr LocationRule kOtherLocation{0, 1, +1, kStateByCode};

constexpr StoppingCurve kStoppingCurves[] = {
    {1, -0.75, 0.14},
    {2, -0.75, 0.1},
    {3, -0.7, 0.1},
};
constexpr StoppingCurve kOtherStyleCurve{0, -0.75, 0.1};
// clang-format on

}  // namespace

const LocationRule& LocationRuleFor(int32_t code) {
  for (const LocationRule& rule : kLocationRules) {
    if (rule.code == code) return rule;
  }
  return kOtherLocation;
}

const StoppingCurve& StoppingCurveFor(int32_t style) {
  for (const StoppingCurve& curve : kStoppingCurves) {
    if (curve.style == style) return curve;
  }
  return kOtherStyleCurve;
}
