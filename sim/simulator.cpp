#include "simulator.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "beacon_codes.h"
#include "cab_names.h"
#include "channels.h"
#include "dynamics.h"

namespace {

constexpr double kStopSearch = 50.0;         // metres around a stopping point
constexpr double kTerminusIdleSeconds = 30;  // the run ends this long after the last stop
constexpr int kProgressFrames = 6000;
constexpr double kLongestPhysicsStep = 0.05;  // seconds; longer frames are integrated in parts
// The cab shows the target truncated to whole km/h; above it by this much
// the train is really over the target.
constexpr double kOverTarget = 2.0;
constexpr int32_t kStartKeyTarget = 4;  // km/h: the plug-in departs by the start key above it

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

// Draws the host's frame steps: uneven by the jitter, and the pauses.
class FrameClock {
 public:
  explicit FrameClock(const Scenario& s) : s_(s), random_(s.seed) {}

  // The next frame's step, given the time run so far; a pause when one is due.
  double NextStep(double elapsed, bool& paused) {
    paused = nextPause_ < s_.pauses.size() && elapsed >= s_.pauses[nextPause_].atSeconds;
    if (paused) return s_.pauses[nextPause_++].seconds;
    if (s_.timeStepJitter == 0) return s_.timeStep;
    const double unit = static_cast<double>(random_() >> 11) * 0x1p-53;  // [0, 1)
    return s_.timeStep * (1 + s_.timeStepJitter * (2 * unit - 1));
  }

 private:
  const Scenario& s_;
  std::mt19937_64 random_;  // its sequence is fixed by the standard
  size_t nextPause_ = 0;
};

class Host {
 public:
  Host(const Scenario& s, const PluginApi& api, const RunHooks& hooks)
      : s_(s), api_(api), hooks_(hooks), model_(s.dynamics, s.gradients), clock_(s) {
    motion_.location = s.startLocation;
    motion_.speed = s.startSpeed;
    timeMs_ = s.startTimeMs;  // what happens before the first frame happens at the start
    for (const Station& st : s.stations) result_.stops.push_back({&st});
    if (s.driver.mode != DriverMode::Automatic) {
      driver_.emplace(s.driver, s.dynamics.decelByNotch, Platforms(s));
    }
    std::fill(std::begin(panel_), std::end(panel_), 0);
    std::fill(std::begin(sound_), std::end(sound_), 0);
  }

  RunResult Run() {
    api_.Load();
    api_.SetVehicleSpec(s_.vehicle);
    api_.Initialize(1);
    DoorsAtTheStart();
    for (long n = 0; !Finished(); ++n) {
      if (n > 0) Move();
      timeMs_ = s_.startTimeMs + static_cast<int32_t>(std::lround(elapsed_ * 1000));
      PassBeacons();
      RunTimeline();
      if (driver_) DriveByTheCab(n);
      OperateDoors();
      Frame();
      WatchTheRunIn();
      WatchForStall();
      if (hooks_.progress && n % kProgressFrames == 0) {
        hooks_.progress((motion_.location - s_.startLocation) / (s_.endLocation - s_.startLocation),
                        timeMs_);
      }
    }
    api_.Dispose();
    result_.interventions = watch_.All();
    result_.endTimeMs = timeMs_;
    result_.endLocation = motion_.location;
    return std::move(result_);
  }

 private:
  void Log(std::string text) {
    const double speed = motion_.speed == 0 ? 0.0 : motion_.speed;  // no "-0.0"
    result_.events.push_back({timeMs_, motion_.location, speed, std::move(text)});
  }

  // The world moves on under the last handles; a long frame in short steps.
  void Move() {
    bool paused = false;
    const double step = clock_.NextStep(elapsed_, paused);
    if (paused) Log(fmt::format("host pauses: the next frame comes {:.3f} s later", step));
    lastLocation_ = motion_.location;
    const int parts = static_cast<int>(std::ceil(step / kLongestPhysicsStep));
    for (int i = 0; i < parts; ++i) model_.Step(motion_, handles_, step / parts);
    elapsed_ += step;
  }

  void PassBeacons() {
    while (nextBeacon_ < s_.beacons.size() &&
           s_.beacons[nextBeacon_].location <= motion_.location) {
      const RouteBeacon& b = s_.beacons[nextBeacon_++];
      if (b.location < s_.startLocation) continue;  // behind the train at the start
      api_.SetBeaconData(b.data);
      Log(fmt::format("beacon {} optional {} at {:.1f} m: {}", b.data.type, b.data.optional,
                      b.location, beacon::Describe(b.data)));
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
      somethingHappened_ = true;
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
        SetPower(a.value);
        Log(fmt::format("driver power handle {}", a.value));
        break;
      case ActionKind::Brake:
        SetBrake(a.value);
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

  void SetPower(int32_t notch) {
    api_.SetPower(notch);
    driverHandles_.power = notch;
    driverActive_ = true;
  }
  void SetBrake(int32_t notch) {
    api_.SetBrake(notch);
    driverHandles_.brake = notch;
    driverActive_ = true;
  }

  // A host reports the doors open at a platform and shut elsewhere; the
  // plug-in takes them for open until told.
  void DoorsAtTheStart() {
    const bool atPlatform = std::any_of(s_.stations.begin(), s_.stations.end(), [&](auto& st) {
      return std::fabs(st.stop - s_.startLocation) <= s_.doors.window;
    });
    if (!atPlatform) CloseDoors();
  }

  // The driver steps the plug-in into the manual mode (brake handle at 8,
  // mode down key by key at a stand), then drives by what the cab shows.
  void DriveByTheCab(long frame) {
    const int32_t wanted = ModeOf(s_.driver.mode), mode = panel_[panel::kTrainMode];
    if (frame == 0) {
      SetBrake(8);
      Log(fmt::format("driver brake handle 8, to step into {} mode", NameOf(kModeNames, wanted)));
      return;
    }
    if (mode != wanted) {
      if (motion_.speed != 0) return;
      const int32_t key = mode > wanted ? 2 : 1;
      api_.KeyDown(key);
      api_.KeyUp(key);
      Log(fmt::format("driver presses key {}", key));
      return;
    }
    const CabView cab{timeMs_, motion_.speed, motion_.location, panel_, doorsOpen_};
    const HandlePositions wants = driver_->Drive(cab);
    const bool reset = driver_->WantsToReset(cab);
    if (wants.power == driverHandles_.power && wants.brake == driverHandles_.brake && !reset) {
      return;
    }
    if (wants.power != driverHandles_.power || reset) SetPower(wants.power);
    if (wants.brake != driverHandles_.brake || reset) SetBrake(wants.brake);
    Log(fmt::format("driver power {} brake {}", wants.power, wants.brake));
  }

  static int32_t ModeOf(DriverMode mode) {
    switch (mode) {
      case DriverMode::Supervised: return kModeSupervisedManual;
      case DriverMode::Restricted: return kModeRestrictedManual;
      case DriverMode::Reverse: return kModeReverse;
      case DriverMode::Automatic: break;
    }
    return kModeAutomatic;
  }

  static std::vector<double> Platforms(const Scenario& s) {
    std::vector<double> stops;
    for (const Station& st : s.stations) stops.push_back(st.stop);
    return stops;
  }

  // Doors worked at a stop are the stop's door times, whoever worked them.
  void OpenDoors() {
    api_.DoorOpen();
    doorsOpen_ = true;
    somethingHappened_ = true;
    Log("doors open");
    StopRecord* stop = StopHere();
    if (stop && stop->stoppedAt && !stop->doorsOpenMs) stop->doorsOpenMs = timeMs_;
  }
  void CloseDoors() {
    api_.DoorClose();
    doorsOpen_ = false;
    somethingHappened_ = true;
    Log("doors closed");
    StopRecord* stop = StopHere();
    if (stop && stop->stoppedAt && !stop->doorsClosedMs) stop->doorsClosedMs = timeMs_;
  }

  void PressStartKey(std::string why) {
    lastStartKeyMs_ = timeMs_;
    api_.KeyDown(0);
    api_.KeyUp(0);
    Log("driver presses the start key" + why);
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
    const bool standing = motion_.speed == 0;
    if (stop == nullptr) {
      // Standing on open line, as at the start: away when the cab says so.
      if (standing && s_.doors.startKey && ReadyToDepart() &&
          elapsed_ >= s_.doors.startDelaySeconds && timeMs_ - lastStartKeyMs_ >= 1000) {
        PressStartKey("");
      }
      return;
    }
    const bool doorsWorked = stop->doorsOpenMs || stop->doorsClosedMs;
    if (standing && !doorsWorked && lastLocation_ != motion_.location) {
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
    const double shortBy = stop->station->stop - *stop->stoppedAt;
    if (CorrectionDue(*stop, shortBy)) {
      if (!Waited(*stop->arrivalMs) || timeMs_ - lastStartKeyMs_ < 1000) return;
      ++stop->corrections;
      PressStartKey(
          fmt::format(" to close up to {} ({:.2f} m short)", stop->station->name, shortBy));
      return;  // the doors wait for the train to stand at the platform
    }
    if (s_.doors.automatic && std::fabs(shortBy) <= s_.doors.window && !stop->doorsOpenMs) {
      OpenDoors();
    }
    if (s_.doors.automatic && doorsOpen_ && stop->doorsOpenMs &&
        timeMs_ - *stop->doorsOpenMs >= s_.doors.dwellSeconds * 1000) {
      CloseDoors();
    }
    if (s_.doors.startKey && ReadyToDepart() && stop->doorsClosedMs &&
        Waited(*stop->doorsClosedMs) && timeMs_ - lastStartKeyMs_ >= 1000) {
      PressStartKey("");
    }
  }

  // In automatic mode the cab shows "ready to depart".
  bool ReadyToDepart() const {
    return panel_[panel::kTrainMode] == kModeAutomatic && ReadyToDepartShown(panel_);
  }

  // A driver in automatic mode moves a train up that stopped short, before
  // working the doors, when the cab's target allows a start-key departure.
  bool CorrectionDue(const StopRecord& stop, double shortBy) const {
    return s_.doors.startKey && s_.doors.correctShortStops && !stop.doorsOpenMs &&
           !stop.doorsClosedMs && shortBy > kDockedWindow && stop.corrections < kMaxCorrections &&
           panel_[panel::kTrainMode] == kModeAutomatic &&
           panel_[panel::kTargetSpeed] >= kStartKeyTarget;
  }

  bool Waited(int32_t sinceMs) const {
    return timeMs_ - sinceMs >= s_.doors.startDelaySeconds * 1000;
  }

  void Frame() {
    ATS_VEHICLESTATE state{};
    state.location = motion_.location;
    state.speed = static_cast<float>(motion_.speed);
    state.time = timeMs_;
    const int32_t message = panel_[panel::kMessage], mode = panel_[panel::kTrainMode];
    const int32_t target = panel_[panel::kTargetSpeed];
    const ATS_HANDLES before = handles_;
    handles_ = api_.Elapse(state, panel_, sound_);
    ++result_.frames;
    const Intervention* counted = Watch(target);
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
    if (hooks_.frame) {
      hooks_.frame({timeMs_, motion_.location, motion_.speed, model_.PermilleAt(motion_.location),
                    handles_, panel_, counted});
    }
  }

  // The platform the train runs to or stands at: the first it has not left.
  double StoppingPoint() const {
    for (const StopRecord& r : result_.stops) {
      if (!r.departureMs && r.station->stop + kStopSearch > motion_.location)
        return r.station->stop;
    }
    return NAN;
  }

  // The supervision against the driver's handles; the intervention counted
  // in this frame, if any.
  const Intervention* Watch(int32_t targetBefore) {
    // In automatic mode the plug-in drives: the driver's handles only raise stops.
    if (!driverActive_ || panel_[panel::kTrainMode] == kModeAutomatic) return nullptr;
    const size_t before = watch_.All().size();
    const WatchedFrame f{timeMs_,        motion_.location, motion_.speed,
                         targetBefore,   panel_,           handles_,
                         driverHandles_, doorsOpen_,       sound_[sound::kOverspeed] == 1,
                         StoppingPoint()};
    for (std::string& line : watch_.Frame(f)) Log(std::move(line));
    return watch_.All().size() > before ? &watch_.All().back() : nullptr;
  }

  // For the summary: how the train ran into the next stop.
  void WatchTheRunIn() {
    for (StopRecord& r : result_.stops) {
      if (r.stoppedAt || motion_.location >= r.station->stop + kStopSearch) continue;
      if (r.crossedAtKmh) return;  // running past it: no stop's run-in
      if (lastLocation_ < r.station->stop && motion_.location >= r.station->stop) {
        r.crossedAtKmh = motion_.speed;
      }
      // The last stretch above the target is the one that tells.
      const double over = motion_.speed - panel_[panel::kTargetSpeed];
      if (over >= kOverTarget) {
        if (!wasOverTarget_) {
          r.overTargetFrom = motion_.location;
          r.overTargetBy = 0;
        }
        r.overTargetTo = motion_.location;
        r.overTargetBy = std::max(r.overTargetBy, over);
      }
      wasOverTarget_ = over >= kOverTarget;
      return;
    }
  }

  // Ends a run whose train stands with nothing left that could move it.
  void WatchForStall() {
    int32_t cab[kCabPanels.size()];
    for (size_t i = 0; i < kCabPanels.size(); ++i) cab[i] = panel_[kCabPanels[i]];
    const bool outputsChanged = handles_.brake != lastHandles_.brake ||
                                handles_.power != lastHandles_.power ||
                                handles_.reverser != lastHandles_.reverser ||
                                handles_.constantSpeed != lastHandles_.constantSpeed ||
                                !std::equal(std::begin(cab), std::end(cab), std::begin(lastCab_));
    lastHandles_ = handles_;
    std::copy(std::begin(cab), std::end(cab), std::begin(lastCab_));
    if (motion_.speed != 0 || outputsChanged || somethingHappened_ || SomethingPending()) {
      stillSince_ = elapsed_;
    }
    somethingHappened_ = false;
    if (elapsed_ - stillSince_ >= s_.stallAfterSeconds) {
      result_.stall = fmt::format("stalled at {:.1f} m: {}", motion_.location, WhyStill());
      Log(result_.stall);
    }
  }

  // A timed action, the doors closing after the dwell, or a departure time.
  bool SomethingPending() {
    if (nextAction_ < s_.timeline.size() && s_.timeline[nextAction_].atSeconds) return true;
    const StopRecord* stop = StopHere();
    if (stop == nullptr) return false;
    const bool dwelling = s_.doors.automatic && stop->doorsOpenMs && !stop->doorsClosedMs;
    return dwelling || (stop->station->departureMs && *stop->station->departureMs > timeMs_);
  }

  std::string WhyStill() {
    const StopRecord* stop = StopHere();
    const std::string doors = doorsOpen_ ? "doors open" : "doors closed";
    if (stop == nullptr || !stop->stoppedAt) {
      const auto ahead = std::find_if(result_.stops.begin(), result_.stops.end(),
                                      [&](auto& r) { return r.station->stop > motion_.location; });
      const std::string where =
          ahead == result_.stops.end()
              ? std::string("stopped past the last station")
              : fmt::format("stopped {:.1f} m before {}", ahead->station->stop - motion_.location,
                            ahead->station->name);
      return fmt::format("{}, {}, brake {} power {}", where, doors, handles_.brake, handles_.power);
    }
    const double off = *stop->stoppedAt - stop->station->stop;
    const std::string where = fmt::format("stopped {:.2f} m {} {}", std::fabs(off),
                                          off < 0 ? "short of" : "beyond", stop->station->name);
    if (!stop->doorsOpenMs && !stop->doorsClosedMs) return where + ", doors never opened";
    return fmt::format("{}, {}, no departure", where, doors);
  }

  bool Finished() {
    if (!result_.stall.empty()) return End(RunEnd::Stalled);
    if (motion_.location >= s_.endLocation) return End(RunEnd::EndOfLine);
    // The next frame would come at or after the end of the run.
    if (elapsed_ + s_.timeStep >= s_.maxSeconds - 1e-9) return End(RunEnd::MaxDuration);
    if (result_.stops.empty()) return false;
    // The last stop in the direction of travel: a reverse move runs back.
    const StopRecord& last =
        s_.driver.mode == DriverMode::Reverse ? result_.stops.front() : result_.stops.back();
    return last.doorsClosedMs && motion_.speed == 0 &&
           timeMs_ - *last.doorsClosedMs >= kTerminusIdleSeconds * 1000 && End(RunEnd::Terminus);
  }
  bool End(RunEnd why) {
    result_.end = why;
    return true;
  }

  const Scenario& s_;
  PluginApi api_;
  const RunHooks& hooks_;
  TrainModel model_;
  FrameClock clock_;
  InterventionWatch watch_;
  std::optional<Driver> driver_;
  ATS_HANDLES driverHandles_{};  // the driver's handles as last reported to the plug-in
  bool driverActive_ = false;
  TrainMotion motion_;
  double elapsed_ = 0;  // seconds since the start of the run
  double lastLocation_ = 0;
  ATS_HANDLES handles_{};
  int32_t panel_[kChannelCount];
  int32_t sound_[kChannelCount];
  int32_t timeMs_ = 0;
  int32_t lastStartKeyMs_ = INT32_MIN / 2;
  bool doorsOpen_ = true;  // a train starts with its doors open
  size_t nextBeacon_ = 0;
  size_t nextAction_ = 0;
  // What the stall watch compares from frame to frame.
  ATS_HANDLES lastHandles_{};
  int32_t lastCab_[kCabPanels.size()] = {};
  bool somethingHappened_ = false;
  bool wasOverTarget_ = false;
  double stillSince_ = 0;
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
