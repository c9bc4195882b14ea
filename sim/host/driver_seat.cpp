#include "host/driver_seat.h"

#include <fmt/format.h>

#include "model/cab.h"

namespace {

std::vector<double> Platforms(const Scenario& s) {
  std::vector<double> stops;
  for (const Station& st : s.stations) stops.push_back(st.stop);
  return stops;
}

}  // namespace

DriverSeat::DriverSeat(const Scenario& s, const PluginApi& api, const RunClock& now,
                       Timeline& timeline)
    : s_(s), api_(api), now_(now), timeline_(timeline) {
  if (DrivesByHand(s.driver.mode)) driver_.emplace(s.driver, s.dynamics.decelByNotch, Platforms(s));
}

void DriverSeat::Apply(const Action& a) {
  switch (a.kind) {
    case ActionKind::Key: PressKey(a.value); break;
    case ActionKind::Power:
      SetPower(a.value);
      timeline_.Log(fmt::format("driver power handle {}", a.value));
      break;
    case ActionKind::Brake:
      SetBrake(a.value);
      timeline_.Log(fmt::format("driver brake handle {}", a.value));
      break;
    case ActionKind::Reverser:
      api_.SetReverser(a.value);
      timeline_.Log(fmt::format("driver reverser {}", a.value));
      break;
    case ActionKind::OpenDoors:
    case ActionKind::CloseDoors: break;  // the platform crew's
  }
}

void DriverSeat::Drive(long frame, const int32_t* panel, bool doorsOpen) {
  if (s_.driver.mode == DriverMode::Unattended) return;  // the mode a train starts in
  if (frame == 0) {
    SetBrake(notch::kFullService);
    timeline_.Log(fmt::format("driver brake handle {}, to step into {} mode", notch::kFullService,
                              ModeShown(static_cast<int32_t>(s_.driver.mode))));
    return;
  }
  const int32_t mode = panel[panel::kTrainMode];
  if (mode != static_cast<int32_t>(s_.driver.mode)) {
    if (const auto key = ModeKeyToward(s_.driver.mode, mode, now_.motion.speed)) PressKey(*key);
    return;
  }
  if (!driver_) return;  // automatic: the plug-in drives
  const CabView cab{now_.timeMs, now_.motion.speed, now_.motion.location, panel, doorsOpen};
  const HandlePositions wants = driver_->Drive(cab);
  const bool reset = driver_->WantsToReset(cab);
  if (wants.power == handles_.power && wants.brake == handles_.brake && !reset) return;
  if (wants.power != handles_.power || reset) SetPower(wants.power);
  if (wants.brake != handles_.brake || reset) SetBrake(wants.brake);
  timeline_.Log(fmt::format("driver power {} brake {}", wants.power, wants.brake));
}

const Intervention* DriverSeat::Watch(const WatchedFrame& f) {
  // In automatic mode the plug-in drives: the driver's handles only raise stops.
  if (!active_ || f.panel[panel::kTrainMode] == kModeAutomatic) return nullptr;
  const size_t before = watch_.All().size();
  for (std::string& line : watch_.Frame(f)) timeline_.Log(std::move(line));
  return watch_.All().size() > before ? &watch_.All().back() : nullptr;
}

void DriverSeat::PressKey(int32_t key) {
  api_.KeyDown(key);
  api_.KeyUp(key);
  timeline_.Log(fmt::format("driver presses key {}", key));
}

void DriverSeat::SetPower(int32_t notch) {
  api_.SetPower(notch);
  handles_.power = notch;
  active_ = true;
}

void DriverSeat::SetBrake(int32_t notch) {
  api_.SetBrake(notch);
  handles_.brake = notch;
  active_ = true;
}
