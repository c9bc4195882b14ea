#include "model/driver.h"

#include <algorithm>
#include <cmath>

#include "model/cab.h"
#include "model/units.h"

namespace {

constexpr int kHoldingNotch = notch::kHolding;  // held at a stand
constexpr int kStrongestService = notch::kFullService;
constexpr double kStoppingMetres = 30;  // from here the distance display leads
constexpr double kPlannedDecel = 0.5;   // m/s², a driver's own stop from line speed

// The distance display in metres, or nothing while it shows seconds or km.
std::optional<double> DisplayedMetres(const int32_t* panel) {
  if (panel[panel::kDistanceUnit] != kUnitMetres) return std::nullopt;
  double metres = 0;
  for (int i = 0; i < panel::kDistancePlaces; ++i) {
    const int32_t digit = panel[panel::kDistanceFirstPlace + i];
    metres = metres * 10 + (digit >= 0 && digit <= 9 ? digit : 0);
  }
  return metres;
}

}  // namespace

bool DrivesByHand(DriverMode mode) {
  return mode == DriverMode::Supervised || mode == DriverMode::Restricted ||
         mode == DriverMode::Reverse;
}

std::optional<int32_t> ModeKeyToward(DriverMode wanted, int32_t shownMode, double speed) {
  const int32_t mode = static_cast<int32_t>(wanted);
  if (shownMode == mode || speed != 0) return std::nullopt;
  return shownMode > mode ? key::kModeDown : key::kModeUp;
}

Driver::Driver(const DriverStyle& style, const std::array<double, 10>& decelByNotch,
               std::vector<double> platforms)
    : style_(style), decel_(decelByNotch), platforms_(std::move(platforms)) {}

HandlePositions Driver::Drive(const CabView& cab) {
  if (cab.doorsOpen) doorsWereOpen_ = true;
  if (doorsWereOpen_ && !cab.doorsOpen) doorsWorked_ = true;
  if (!lastLookMs_ || cab.timeMs - *lastLookMs_ >= style_.reactionSeconds * 1000) Look(cab);
  return handles_;
}

bool Driver::WantsToReset(const CabView& cab) const {
  return !cab.doorsOpen && (cab.panel[panel::kBrakeNotch] != handles_.brake ||
                            cab.panel[panel::kPowerNotch] != handles_.power);
}

void Driver::Look(const CabView& cab) {
  switch (phase_) {
    case Phase::Standing: Stand(cab); break;
    case Phase::Running: Run(cab); break;
    case Phase::Stopping: Stop(cab); break;
  }
  lastTarget_ = cab.panel[panel::kTargetSpeed];
  lastLookMs_ = cab.timeMs;
}

// Doors worked and no countdown left; in supervised mode the cab also says
// "ready to depart".
void Driver::Stand(const CabView& cab) {
  handles_ = {0, kHoldingNotch};
  if (cab.speed != 0 || cab.doorsOpen || !doorsWorked_) return;
  const bool ready = style_.mode == DriverMode::Supervised
                         ? ReadyToDepartShown(cab.panel)
                         : cab.panel[panel::kDistanceUnit] != kUnitSeconds;
  if (!ready) return;
  phase_ = Phase::Running;
  Run(cab);
}

// How fast the cab's target falls, km/h per second, from the last look.
double Driver::TargetFall(const CabView& cab) const {
  const int32_t target = cab.panel[panel::kTargetSpeed];
  if (!lastLookMs_ || cab.timeMs <= *lastLookMs_ || target >= lastTarget_) return 0;
  return (lastTarget_ - target) / ((cab.timeMs - *lastLookMs_) / 1000.0);
}

// The speed to hold: below the target, where it is heading brake_early
// seconds on; or below the ceiling of the restricted modes, where the cab
// shows no target.
double Driver::Aim(const CabView& cab) const {
  if (style_.mode != DriverMode::Supervised) return kCeilingKmh - style_.margin;
  const double target = cab.panel[panel::kTargetSpeed];
  return target - TargetFall(cab) * style_.brakeEarlySeconds - style_.margin;
}

void Driver::Run(const CabView& cab) {
  const double speed = std::fabs(cab.speed);
  const std::optional<double> toStop = MetresToStop(cab);
  // Without a target on the cab the driver plans his own stop.
  const double from = style_.mode == DriverMode::Supervised
                          ? kStoppingMetres
                          : std::max(kStoppingMetres, BrakingDistance(speed, 0, kPlannedDecel) + 5);
  if (toStop && *toStop < from) {
    phase_ = Phase::Stopping;
    Stop(cab);
    return;
  }
  const double over = speed - Aim(cab);
  if (over < -2) {
    handles_ = {style_.powerNotch, 0};
  } else if (over < -0.5) {
    handles_ = {1, 0};
  } else if (over < 1) {
    handles_ = {0, 0};
  } else {
    // Slow as fast as the target falls, and shed the excess in two seconds.
    const double decel = TargetFall(cab) + over / 2;
    handles_ = {0, NotchFor(Ms(decel))};
  }
}

// Brakes with the notch that stops the train at the stopping point.
void Driver::Stop(const CabView& cab) {
  const double speed = std::fabs(cab.speed);
  if (speed == 0) {
    phase_ = Phase::Standing;
    doorsWorked_ = doorsWereOpen_ = false;
    handles_ = {0, kHoldingNotch};
    return;
  }
  const std::optional<double> toStop = MetresToStop(cab);
  if (!toStop) {  // the stop moved away
    phase_ = Phase::Running;
    Run(cab);
    return;
  }
  const double left = *toStop;
  if (left <= 0.2) {
    handles_ = {0, kHoldingNotch};
    return;
  }
  const double needed = DecelerationToSlow(speed, 0, left);
  handles_ = {speed < 8 && needed < 0.05 ? 1 : 0, needed < 0.05 ? 0 : NotchFor(needed)};
}

// Forwards by the distance display (it reads the whole metres of the
// distance plus 0.9 m, so the point lies 0.4 m short of the middle) while
// it counts down to a stop, not to the end of a braking curve, whose final
// speed the target digits show; backwards by the platform markers behind.
std::optional<double> Driver::MetresToStop(const CabView& cab) const {
  if (style_.mode == DriverMode::Reverse) {
    std::optional<double> behind;
    for (double p : platforms_) {
      if (p < cab.location) behind = cab.location - p;
    }
    return behind;
  }
  const std::optional<double> shown = DisplayedMetres(cab.panel);
  if (!shown || cab.panel[panel::kTargetDigitUnits] != kTargetDigitBlank) return std::nullopt;
  return *shown - 0.4;
}

// The weakest notch that gives the deceleration, up to the driver's strongest.
int Driver::NotchFor(double mps2) const {
  const int strongest = std::min(style_.brakeNotch, kStrongestService);
  for (int notch = 1; notch < strongest; ++notch) {
    if (Ms(decel_[notch]) >= mps2) return notch;
  }
  return strongest;
}
