// The supervision seen from the host: each frame's outputs against the
// driver's handles, classified by the rule that holds the train, and the
// interventions counted: speed trips, brake notices, stop brakings, the
// overrun protection and the door brake.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "atsplugin.h"

enum class InterventionKind { SpeedTrip, BrakeNotice, StopBraking, OverrunProtection, DoorBrake };

struct Intervention {
  InterventionKind kind;
  int32_t timeMs;
  double location, speed;
  int32_t target;  // km/h, as the cab showed it
  std::string text;
};

// One frame as the host saw it.
struct WatchedFrame {
  int32_t timeMs;
  double location, speed;
  int32_t targetBefore;  // the cab's target when the frame began
  const int32_t* panel;
  ATS_HANDLES output, driver;  // what the plug-in returned, what the driver holds
  bool doorsOpen, overspeedAlarm;
  double stoppingPoint;  // of the platform the train runs to or stands at; NaN when none
};

class InterventionWatch {
 public:
  // Timeline lines for this frame: a new rule holding the train, its release,
  // and each intervention (also kept in All()).
  std::vector<std::string> Frame(const WatchedFrame& f);
  const std::vector<Intervention>& All() const { return all_; }

 private:
  std::string RuleHolding(const WatchedFrame& f) const;
  void Count(InterventionKind kind, const WatchedFrame& f, std::string text,
             std::vector<std::string>& lines);

  std::string rule_;    // the rule holding the train now, empty when none
  ATS_HANDLES last_{};  // the plug-in's output in the frame before
  int32_t lastMessage_ = 0;
  std::vector<Intervention> all_;
};

const char* NameOf(InterventionKind kind);
