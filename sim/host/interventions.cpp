#include "host/interventions.h"

#include <fmt/format.h>

#include <cmath>

#include "model/cab.h"

namespace {

constexpr const char* kDoorsOpen = "doors open";
constexpr const char* kStopBraking = "stop braking";
constexpr const char* kOverrun = "overrun protection";
constexpr const char* kTheMode = "the mode";

bool SameHandles(const ATS_HANDLES& a, const ATS_HANDLES& b) {
  return a.brake == b.brake && a.power == b.power;
}

bool Manual(int32_t mode) {
  return mode == kModeSupervisedManual || mode == kModeRestrictedManual || mode == kModeReverse;
}

}  // namespace

const char* NameOf(InterventionKind kind) {
  switch (kind) {
    case InterventionKind::SpeedTrip: return "speed trip";
    case InterventionKind::BrakeNotice: return "brake notice";
    case InterventionKind::StopBraking: return "stop braking";
    case InterventionKind::OverrunProtection: return "overrun protection";
    case InterventionKind::DoorBrake: return "door brake";
  }
  return "";
}

// What holds the train against the driver's handles, from what a host sees.
std::string InterventionWatch::RuleHolding(const WatchedFrame& f) const {
  const bool held = f.output.brake > f.driver.brake || f.output.power < f.driver.power;
  if (!held) return "";
  const int32_t mode = f.panel[panel::kTrainMode];
  if (f.doorsOpen) return kDoorsOpen;
  if (!Manual(mode)) return kTheMode;
  // Stepped into a manual mode at a stand, the output stays as the mode
  // before wrote it until the driver moves a handle.
  if (rule_ == kTheMode && f.speed == 0 && SameHandles(f.output, last_)) return kTheMode;
  if (f.output.brake < notch::kFullService) return "the station stop";
  if (f.location - f.stoppingPoint > kOverrunMetres && mode != kModeReverse) return kOverrun;
  return kStopBraking;
}

void InterventionWatch::Count(InterventionKind kind, const WatchedFrame& f, std::string text,
                              std::vector<std::string>& lines) {
  lines.push_back(fmt::format("supervision: {}", text));
  all_.push_back({kind, f.timeMs, f.location, f.speed, f.targetBefore, std::move(text)});
}

std::vector<std::string> InterventionWatch::Frame(const WatchedFrame& f) {
  std::vector<std::string> lines;
  const int32_t mode = f.panel[panel::kTrainMode];
  if (f.overspeedAlarm) {
    Count(InterventionKind::SpeedTrip, f,
          fmt::format("speed trip at {:.1f} km/h, {:.2f} km/h over the target of {} km/h", f.speed,
                      f.speed - f.targetBefore, f.targetBefore),
          lines);
  }
  const std::string rule = RuleHolding(f);
  if (rule != rule_) {
    if (rule.empty()) {
      lines.push_back(fmt::format("the plug-in releases the train ({})", rule_));
    } else {
      lines.push_back(
          fmt::format("the plug-in holds brake {} power {} against the driver's brake "
                      "{} power {}: {}",
                      f.output.brake, f.output.power, f.driver.brake, f.driver.power, rule));
    }
    if (rule == kStopBraking && (mode == kModeRestrictedManual || mode == kModeReverse) &&
        std::fabs(f.speed) >= kCeilingKmh) {
      Count(InterventionKind::SpeedTrip, f,
            fmt::format("speed trip at {:.1f} km/h, at the 26 km/h ceiling", f.speed), lines);
    }
    if (rule == kStopBraking) {
      Count(InterventionKind::StopBraking, f,
            fmt::format("stop braking with brake {} at {:.1f} km/h", f.output.brake, f.speed),
            lines);
    } else if (rule == kOverrun) {
      Count(InterventionKind::OverrunProtection, f,
            fmt::format("overrun protection at {:.1f} m, {:.1f} km/h", f.location, f.speed), lines);
    } else if (rule == kDoorsOpen && Manual(mode) && f.driver.power > 0) {
      Count(InterventionKind::DoorBrake, f, "door brake: power asked for with the doors open",
            lines);
    }
    rule_ = rule;
  }
  last_ = f.output;
  const int32_t message = f.panel[panel::kMessage];
  if (message == kMessageBrakeNotice && lastMessage_ != kMessageBrakeNotice) {
    Count(InterventionKind::BrakeNotice, f, "brake notice", lines);
  }
  lastMessage_ = message;
  return lines;
}
