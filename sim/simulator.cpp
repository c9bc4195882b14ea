#include "simulator.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "cab_names.h"
#include "channels.h"
#include "dynamics.h"

namespace {

constexpr double kStopSearch = 50.0;         // metres around a stopping point
constexpr double kTerminusIdleSeconds = 30;  // the run ends this long after the last stop
constexpr int kProgressFrames = 6000;

std::string SoundName(int index) {
  struct Name {
    int index;
    const char* name;
  };
  static constexpr Name kNames[] = {
      {sound::kStartKeyDown, "start key down"},
      {sound::kStartKeyUp, "start key up"},
      {sound::kSwitchClick, "switch click"},
      {sound::kToUnattendedMode, "to unattended mode"},
      {sound::kChime, "chime"},
      {sound::kKey7DoorsOpen, "key 7, doors open"},
      {sound::kKey7DoorsClosed, "key 7, doors closed"},
      {sound::kKey9DoorsOpen, "key 9, doors open"},
      {sound::kKey9DoorsClosed, "key 9, doors closed"},
      {sound::kKey8, "key 8"},
      {sound::kKey5, "key 5"},
      {sound::kKey6, "key 6"},
      {sound::kOverspeed, "overspeed alarm"},
      {sound::kWiperSwitch, "wiper switch"},
      {sound::kModeChange, "mode change"},
  };
  for (const Name& n : kNames) {
    if (n.index == index) return n.name;
  }
  return fmt::format("sound {}", index);
}

class Host {
 public:
  Host(const Scenario& s, const PluginApi& api, const RunHooks& hooks)
      : s_(s), api_(api), hooks_(hooks), model_(s.dynamics) {
    motion_.location = s.startLocation;
    motion_.speed = s.startSpeed;
    for (const Station& st : s.stations) result_.stops.push_back({&st, {}, {}, {}, {}, {}});
    std::fill(std::begin(panel_), std::end(panel_), 0);
    std::fill(std::begin(sound_), std::end(sound_), 0);
  }

  RunResult Run() {
    api_.Load();
    api_.SetVehicleSpec(s_.vehicle);
    api_.Initialize(1);
    const long maxFrames = static_cast<long>(s_.maxSeconds / s_.timeStep);
    for (long n = 0; n < maxFrames && !Finished(); ++n) {
      if (n > 0) Move();
      TimeNow(n);
      PassBeacons();
      RunTimeline();
      OperateDoors();
      Frame();
      if (hooks_.progress && n % kProgressFrames == 0) {
        hooks_.progress((motion_.location - s_.startLocation) / (s_.endLocation - s_.startLocation),
                        timeMs_);
      }
    }
    api_.Dispose();
    result_.endTimeMs = timeMs_;
    result_.endLocation = motion_.location;
    return std::move(result_);
  }

 private:
  void Log(std::string text) {
    const double speed = motion_.speed == 0 ? 0.0 : motion_.speed;  // no "-0.0"
    result_.events.push_back({timeMs_, motion_.location, speed, std::move(text)});
  }

  void TimeNow(long frame) {
    timeMs_ = s_.startTimeMs + static_cast<int32_t>(std::lround(frame * s_.timeStep * 1000));
  }

  void Move() {
    lastLocation_ = motion_.location;
    model_.Step(motion_, handles_, s_.timeStep);
  }

  void PassBeacons() {
    while (nextBeacon_ < s_.beacons.size() &&
           s_.beacons[nextBeacon_].location <= motion_.location) {
      const RouteBeacon& b = s_.beacons[nextBeacon_++];
      if (b.location < s_.startLocation) continue;  // behind the train at the start
      api_.SetBeaconData(b.data);
      Log(fmt::format("beacon {} optional {} at {:.1f} m", b.data.type, b.data.optional,
                      b.location));
    }
  }

  void RunTimeline() {
    while (nextAction_ < s_.timeline.size()) {
      const Action& a = s_.timeline[nextAction_];
      const bool due = a.atSeconds ? timeMs_ - s_.startTimeMs >= *a.atSeconds * 1000
                                   : motion_.location >= *a.atLocation;
      if (!due) return;
      ++nextAction_;
      Apply(a);
    }
  }

  void Apply(const Action& a) {
    switch (a.kind) {
      case ActionKind::Key:
        api_.KeyDown(a.value);
        api_.KeyUp(a.value);
        Log(fmt::format("driver presses key {}", a.value));
        break;
      case ActionKind::Power:
        api_.SetPower(a.value);
        Log(fmt::format("driver power handle {}", a.value));
        break;
      case ActionKind::Brake:
        api_.SetBrake(a.value);
        Log(fmt::format("driver brake handle {}", a.value));
        break;
      case ActionKind::Reverser:
        api_.SetReverser(a.value);
        Log(fmt::format("driver reverser {}", a.value));
        break;
      case ActionKind::OpenDoors: OpenDoors(); break;
      case ActionKind::CloseDoors: CloseDoors(); break;
    }
  }

  void OpenDoors() {
    api_.DoorOpen();
    doorsOpen_ = true;
    Log("doors open");
  }
  void CloseDoors() {
    api_.DoorClose();
    doorsOpen_ = false;
    Log("doors closed");
  }

  StopRecord* StopHere() {
    for (StopRecord& r : result_.stops) {
      if (!r.departureMs && std::fabs(motion_.location - r.station->stop) < kStopSearch) return &r;
    }
    return nullptr;
  }

  // The host's doors and the driver's start key at the platforms.
  void OperateDoors() {
    StopRecord* stop = StopHere();
    if (stop == nullptr) return;
    const bool standing = motion_.speed == 0;
    if (standing && !stop->stoppedAt && lastLocation_ != motion_.location) {
      stop->stoppedAt = motion_.location;
      stop->arrivalMs = timeMs_;
      Log(fmt::format("stopped at {} ({:+.0f} cm)", stop->station->name,
                      (motion_.location - stop->station->stop) * 100));
    }
    if (!stop->stoppedAt) return;
    if (!standing) {
      if (stop->doorsClosedMs && !stop->departureMs) {
        stop->departureMs = timeMs_;
        Log(fmt::format("departs from {}", stop->station->name));
      }
      return;
    }
    const bool atPlatform = std::fabs(*stop->stoppedAt - stop->station->stop) <= s_.doors.window;
    if (s_.doors.automatic && atPlatform && !stop->doorsOpenMs) {
      OpenDoors();
      stop->doorsOpenMs = timeMs_;
    }
    if (s_.doors.automatic && doorsOpen_ && stop->doorsOpenMs &&
        timeMs_ - *stop->doorsOpenMs >= s_.doors.dwellSeconds * 1000) {
      CloseDoors();
      stop->doorsClosedMs = timeMs_;
    }
    const bool ready = panel_[panel::kMessage] == 1 || panel_[panel::kMessage] == 2;
    if (s_.doors.startKey && ready && stop->doorsClosedMs && panel_[panel::kTrainMode] == 0 &&
        timeMs_ - *stop->doorsClosedMs >= s_.doors.startDelaySeconds * 1000 &&
        timeMs_ - lastStartKeyMs_ >= 1000) {
      lastStartKeyMs_ = timeMs_;
      api_.KeyDown(0);
      api_.KeyUp(0);
      Log("driver presses the start key");
    }
  }

  void Frame() {
    ATS_VEHICLESTATE state{};
    state.location = motion_.location;
    state.speed = static_cast<float>(motion_.speed);
    state.time = timeMs_;
    const int32_t message = panel_[panel::kMessage], mode = panel_[panel::kTrainMode];
    const ATS_HANDLES before = handles_;
    handles_ = api_.Elapse(state, panel_, sound_);
    ++result_.frames;
    if (handles_.brake != before.brake || handles_.power != before.power) {
      Log(fmt::format("brake {} power {}", handles_.brake, handles_.power));
    }
    if (result_.frames == 1 || panel_[panel::kTrainMode] != mode) {
      Log(fmt::format("mode: {}", NameOf(kModeNames, panel_[panel::kTrainMode])));
    }
    if (panel_[panel::kMessage] != message)
      Log(fmt::format("message: {}", NameOf(kMessageNames, panel_[panel::kMessage])));
    for (int i = 0; i < kChannelCount; ++i) {
      if (sound_[i] != 1) continue;
      Log(fmt::format("sound: {}", SoundName(i)));
      sound_[i] = kSoundStarted;
    }
    if (hooks_.frame) hooks_.frame({timeMs_, motion_.location, motion_.speed, handles_, panel_});
  }

  bool Finished() {
    if (motion_.location >= s_.endLocation) return true;
    if (result_.stops.empty()) return false;
    const StopRecord& last = result_.stops.back();
    return last.doorsClosedMs && motion_.speed == 0 &&
           timeMs_ - *last.doorsClosedMs >= kTerminusIdleSeconds * 1000;
  }

  const Scenario& s_;
  PluginApi api_;
  const RunHooks& hooks_;
  TrainModel model_;
  TrainMotion motion_;
  double lastLocation_ = 0;
  ATS_HANDLES handles_{};
  int32_t panel_[kChannelCount];
  int32_t sound_[kChannelCount];
  int32_t timeMs_ = 0;
  int32_t lastStartKeyMs_ = INT32_MIN / 2;
  bool doorsOpen_ = true;  // a train starts with its doors open
  size_t nextBeacon_ = 0;
  size_t nextAction_ = 0;
  RunResult result_;
};

}  // namespace

RunResult RunScenario(const Scenario& scenario, const PluginApi& api, const RunHooks& hooks) {
  return Host(scenario, api, hooks).Run();
}

std::string FormatTime(int32_t ms) {
  const int32_t day = ((ms % 86400000) + 86400000) % 86400000;
  return fmt::format("{:02}:{:02}:{:02}.{:03}", day / 3600000, day / 60000 % 60, day / 1000 % 60,
                     day % 1000);
}
