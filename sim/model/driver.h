// A driver in a manual mode who drives by what the cab shows: the target
// speed, the distance display, the messages and the notch mirrors, never
// the plug-in's own state. Between looks at the cab, `reaction` seconds
// apart, the handles stay where they are.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "channels.h"

// The mode a run starts in, as the cab numbers it.
enum class DriverMode : int32_t {
  Automatic = kModeAutomatic,
  Supervised = kModeSupervisedManual,
  Restricted = kModeRestrictedManual,
  Reverse = kModeReverse,
  Unattended = kModeUnattended,
};
inline constexpr std::pair<const char*, DriverMode> kDriverModes[] = {
    {"automatic", DriverMode::Automatic},
    {"unattended", DriverMode::Unattended},
    {"supervised", DriverMode::Supervised},
    {"restricted", DriverMode::Restricted},
    {"reverse", DriverMode::Reverse}};

// The modes in which the simulated driver drives by the cab.
bool DrivesByHand(DriverMode mode);

// The driver's first moves: the brake handle to 8 (the mode interlock),
// then at a stand one mode key a frame until the cab shows the mode wanted.
// The key to press now, or nothing.
std::optional<int32_t> ModeKeyToward(DriverMode wanted, int32_t shownMode, double speed);

struct DriverStyle {
  DriverMode mode = DriverMode::Automatic;
  double reactionSeconds = 0.7;
  double margin = 3;             // km/h below the target aimed for; negative runs over it
  double brakeEarlySeconds = 4;  // how far ahead a falling target is anticipated
  int powerNotch = 3;            // to accelerate
  int brakeNotch = 7;            // the strongest notch used for slowing down
};

// What the driver sees in one frame.
struct CabView {
  int32_t timeMs;
  double speed;     // km/h, from the speedometer
  double location;  // m, used only against the platform markers when reversing
  const int32_t* panel;
  bool doorsOpen;
};

struct HandlePositions {
  int32_t power = 0, brake = 8;
};

class Driver {
 public:
  // The train's brake decelerations (km/h per second by notch) are what a
  // driver knows of the train; the platform markers are what he sees outside.
  Driver(const DriverStyle& style, const std::array<double, 10>& decelByNotch,
         std::vector<double> platforms);

  // The handles the driver holds after looking at this frame's cab.
  HandlePositions Drive(const CabView& cab);

  // The handles to report to the host again because the cab's notch mirrors
  // show the plug-in holding others: the driver moves them to release it.
  bool WantsToReset(const CabView& cab) const;

 private:
  enum class Phase { Standing, Running, Stopping };
  void Look(const CabView& cab);
  void Stand(const CabView& cab);
  void Run(const CabView& cab);
  void Stop(const CabView& cab);
  double Aim(const CabView& cab) const;
  double TargetFall(const CabView& cab) const;
  std::optional<double> MetresToStop(const CabView& cab) const;
  int NotchFor(double mps2) const;

  DriverStyle style_;
  std::array<double, 10> decel_;
  std::vector<double> platforms_;
  Phase phase_ = Phase::Standing;
  bool doorsWorked_ = true;  // since the train last came to a stand
  bool doorsWereOpen_ = false;
  std::optional<int32_t> lastLookMs_;
  int32_t lastTarget_ = 0;
  HandlePositions handles_;
};
