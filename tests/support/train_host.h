// A tiny host for scenarios: the simulator's train model on a level line,
// the host's arrays, beacons passed as the train reaches them, keys and doors.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "model/dynamics.h"
#include "plugin_api.h"

struct TrackBeacon {
  double location;
  ATS_BEACONDATA data;
};

class TrainHost {
 public:
  static constexpr int32_t kFrameMs = 20;
  static constexpr ATS_VEHICLESPEC kSpec{8, 5, 2, 3, 6};

  explicit TrainHost(const PluginApi& api) : api_(api) {}

  // The host's start: Load, the vehicle specification, Initialize.
  void Start(int32_t mode = 0, ATS_VEHICLESPEC spec = kSpec) {
    api_.Load();
    api_.SetVehicleSpec(spec);
    api_.Initialize(mode);
  }

  void Place(double location, double speedKmh, int32_t timeMs) {
    state.location = location;
    state.speed = static_cast<float>(speedKmh);
    state.time = timeMs;
  }

  void AddBeacon(double location, int32_t type, int32_t optional) {
    track_.push_back({location, ATS_BEACONDATA{type, 0, 0.0f, optional}});
    std::stable_sort(track_.begin(), track_.end(), [](const TrackBeacon& a, const TrackBeacon& b) {
      return a.location < b.location;
    });
  }

  void Beacon(int32_t type, int32_t optional) { api_.SetBeaconData({type, 0, 0.0f, optional}); }

  // One host frame: the plug-in answers for the present state, then the
  // train moves under those handles and passes the beacons it reaches.
  ATS_HANDLES Frame() {
    handles = api_.Elapse(state, panel, sound);
    ++frames;
    if (moving) {
      Move();
    } else {
      state.time += kFrameMs;
    }
    return handles;
  }

  void RunFor(double seconds) {
    for (int n = static_cast<int>(seconds * 1000 / kFrameMs); n > 0; --n) Frame();
  }

  // Frames until the condition holds; false if it never did within the time.
  template <typename Condition>
  bool RunUntil(Condition done, double maxSeconds) {
    for (int n = static_cast<int>(maxSeconds * 1000 / kFrameMs); n > 0; --n) {
      Frame();
      if (done()) return true;
    }
    return false;
  }

  bool Stopped() const { return state.speed == 0.0f; }
  void ClearSounds() { std::fill(std::begin(sound), std::end(sound), 0); }

  void PressKey(int32_t key) {
    api_.KeyDown(key);
    api_.KeyUp(key);
  }
  void KeyDown(int32_t key) { api_.KeyDown(key); }
  void OpenDoors() { api_.DoorOpen(); }
  void CloseDoors() { api_.DoorClose(); }
  void SetBrake(int32_t notch) { api_.SetBrake(notch); }
  void SetPower(int32_t notch) { api_.SetPower(notch); }
  void SetReverser(int32_t position) { api_.SetReverser(position); }

  const PluginApi& api() const { return api_; }

  ATS_VEHICLESTATE state{};
  ATS_HANDLES handles{};
  int32_t panel[kChannelCount]{};
  int32_t sound[kChannelCount]{};
  float top = 0;       // the highest speed reached
  bool moving = true;  // false: the train stays as placed, only time goes on
  long frames = 0;

 private:
  void Move() {
    const double before = state.location;
    TrainMotion m{state.location, state.speed};
    model_.Step(m, handles, kFrameMs / 1000.0);
    state.location = m.location;
    state.speed = static_cast<float>(m.speed);
    top = std::max(top, state.speed);
    state.time += kFrameMs;
    for (const TrackBeacon& b : track_) {
      if (b.location > before && b.location <= state.location) api_.SetBeaconData(b.data);
    }
  }

  PluginApi api_;
  TrainModel model_{Dynamics{}};
  std::vector<TrackBeacon> track_;
};
