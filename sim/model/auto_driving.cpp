#include "model/auto_driving.h"

namespace auto_driving {

namespace {

// By speed band, up to and including `upTo` km/h: the notch for a deficit
// of at least each threshold, the first that holds.
struct PowerBand {
  double upTo;
  struct Step {
    double deficit;
    int notch;
  } steps[4];
};
constexpr PowerBand kPowerBands[] = {
    {75, {{3, 4}, {2, 3}, {1, 2}, {-1e9, 1}}},
    {100, {{1, 3}, {-1e9, 2}, {-1e9, 2}, {-1e9, 2}}},
    {1e9, {{-1e9, 3}, {-1e9, 3}, {-1e9, 3}, {-1e9, 3}}},
};

}  // namespace

int PowerNotch(double kmh, double deficit) {
  for (const PowerBand& band : kPowerBands) {
    if (kmh > band.upTo) continue;
    for (const PowerBand::Step& step : band.steps) {
      if (deficit >= step.deficit) return step.notch;
    }
  }
  return 0;
}

}  // namespace auto_driving
