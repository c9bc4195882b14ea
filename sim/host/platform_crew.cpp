#include "host/platform_crew.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "model/cab.h"

namespace {

// In automatic mode the cab shows "ready to depart".
bool ReadyToDepart(const int32_t* panel) {
  return panel[panel::kTrainMode] == kModeAutomatic && ReadyToDepartShown(panel);
}

}  // namespace

void PlatformCrew::DoorsAtTheStart() {
  const bool atPlatform = std::any_of(s_.stations.begin(), s_.stations.end(), [&](auto& st) {
    return std::fabs(st.stop - s_.startLocation) <= s_.doors.window;
  });
  if (!atPlatform) CloseDoors();
}

void PlatformCrew::OpenDoors() {
  api_.DoorOpen();
  doorsOpen_ = doorsWorked_ = true;
  timeline_.Log("doors open");
  stops_.DoorsOpened(now_);
}

void PlatformCrew::CloseDoors() {
  api_.DoorClose();
  doorsOpen_ = false;
  doorsWorked_ = true;
  timeline_.Log("doors closed");
  stops_.DoorsClosed(now_);
}

void PlatformCrew::Work(const int32_t* panel) {
  if (now_.motion.speed != 0) return;
  StopRecord* stop = stops_.Here(now_.motion.location);
  if (stop != nullptr) {
    if (stop->stoppedAt) AtPlatform(*stop, panel);
    return;
  }
  // Standing on open line, as at the start: away when the cab says so.
  if (s_.doors.startKey && ReadyToDepart(panel) && now_.elapsed >= s_.doors.startDelaySeconds &&
      KeyRested()) {
    PressStartKey("");
  }
}

// Standing at a platform: move up a short stop, work the doors, then away.
void PlatformCrew::AtPlatform(StopRecord& stop, const int32_t* panel) {
  const double shortBy = stop.station->stop - now_.motion.location;  // standing here
  if (CorrectionDue(stop, shortBy, panel)) {
    if (!Waited(*stop.arrivalMs) || !KeyRested()) return;
    ++stop.corrections;
    PressStartKey(fmt::format(" to close up to {} ({:.2f} m short)", stop.station->name, shortBy));
    return;  // the doors wait for the train to stand at the platform
  }
  if (s_.doors.automatic && std::fabs(shortBy) <= s_.doors.window && !stop.doorsOpenMs) {
    OpenDoors();
  }
  if (s_.doors.automatic && doorsOpen_ && stop.doorsOpenMs &&
      now_.timeMs - *stop.doorsOpenMs >= s_.doors.dwellSeconds * 1000) {
    CloseDoors();
  }
  if (s_.doors.startKey && ReadyToDepart(panel) && stop.doorsClosedMs &&
      Waited(*stop.doorsClosedMs) && KeyRested()) {
    PressStartKey("");
  }
}

void PlatformCrew::PressStartKey(const std::string& why) {
  lastStartKeyMs_ = now_.timeMs;
  api_.KeyDown(key::kStart);
  api_.KeyUp(key::kStart);
  timeline_.Log("driver presses the start key" + why);
}

// A driver in automatic mode moves up a train that stopped short of the
// doors' reach, before working the doors, when the cab's target allows a
// start-key departure. A train within the doors' reach keeps its doors: the
// start ramp would carry it a metre or more, often out of reach beyond.
bool PlatformCrew::CorrectionDue(const StopRecord& stop, double shortBy,
                                 const int32_t* panel) const {
  return s_.doors.startKey && s_.doors.correctShortStops && !stop.doorsOpenMs &&
         !stop.doorsClosedMs && shortBy > s_.doors.window && stop.corrections < kMaxCorrections &&
         panel[panel::kTrainMode] == kModeAutomatic &&
         panel[panel::kTargetSpeed] >= kStartKeyTarget;
}

bool PlatformCrew::Waited(int32_t sinceMs) const {
  return now_.timeMs - sinceMs >= s_.doors.startDelaySeconds * 1000;
}

// One press a second at most.
bool PlatformCrew::KeyRested() const { return now_.timeMs - lastStartKeyMs_ >= 1000; }
