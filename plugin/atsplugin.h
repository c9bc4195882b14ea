// atsplugin: the host records, the sixteen exports and the shared interface
// globals that every module of the plug-in reads and writes.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define ATS_API __stdcall
#define ATS_EXPORT
#else
#define ATS_API
#define ATS_EXPORT __attribute__((visibility("default")))
#endif

struct ATS_VEHICLESPEC {
  int32_t brakeNotchCount;
  int32_t powerNotchCount;
  int32_t atsCheckNotch;
  int32_t b67Notch;
  int32_t carCount;
};

struct ATS_VEHICLESTATE {
  double location;
  float speed;
  int32_t time;
  float brakeCylinderPressure;
  float mainReservoirPressure;
  float equalizingReservoirPressure;
  float brakePipePressure;
  float straightAirPipePressure;
  float current;
};

struct ATS_BEACONDATA {
  int32_t type;
  int32_t signal;
  float distance;
  int32_t optional;
};

struct ATS_HANDLES {
  int32_t brake;
  int32_t power;
  int32_t reverser;
  int32_t constantSpeed;
};

// The host relies on these layouts byte for byte.
static_assert(sizeof(ATS_VEHICLESPEC) == 20);
static_assert(offsetof(ATS_VEHICLESPEC, brakeNotchCount) == 0);
static_assert(offsetof(ATS_VEHICLESPEC, powerNotchCount) == 4);
static_assert(offsetof(ATS_VEHICLESPEC, atsCheckNotch) == 8);
static_assert(offsetof(ATS_VEHICLESPEC, b67Notch) == 12);
static_assert(offsetof(ATS_VEHICLESPEC, carCount) == 16);
static_assert(sizeof(ATS_VEHICLESTATE) == 40);
static_assert(offsetof(ATS_VEHICLESTATE, location) == 0);
static_assert(offsetof(ATS_VEHICLESTATE, speed) == 8);
static_assert(offsetof(ATS_VEHICLESTATE, time) == 12);
static_assert(offsetof(ATS_VEHICLESTATE, brakeCylinderPressure) == 16);
static_assert(offsetof(ATS_VEHICLESTATE, mainReservoirPressure) == 20);
static_assert(offsetof(ATS_VEHICLESTATE, equalizingReservoirPressure) == 24);
static_assert(offsetof(ATS_VEHICLESTATE, brakePipePressure) == 28);
static_assert(offsetof(ATS_VEHICLESTATE, straightAirPipePressure) == 32);
static_assert(offsetof(ATS_VEHICLESTATE, current) == 36);
static_assert(sizeof(ATS_BEACONDATA) == 16);
static_assert(offsetof(ATS_BEACONDATA, type) == 0);
static_assert(offsetof(ATS_BEACONDATA, signal) == 4);
static_assert(offsetof(ATS_BEACONDATA, distance) == 8);
static_assert(offsetof(ATS_BEACONDATA, optional) == 12);
static_assert(sizeof(ATS_HANDLES) == 16);
static_assert(offsetof(ATS_HANDLES, brake) == 0);
static_assert(offsetof(ATS_HANDLES, power) == 4);
static_assert(offsetof(ATS_HANDLES, reverser) == 8);
static_assert(offsetof(ATS_HANDLES, constantSpeed) == 12);

constexpr int kChannelCount = 256;
constexpr int32_t kPluginVersion = 0x20000;
constexpr int32_t kSoundSilent = -10000;
constexpr int32_t kSoundPlayOnce = 1;

// Beacon types with an effect; every other type is ignored.
enum BeaconType : int32_t {
  kBeaconRunNumber = 11,
  kBeaconStation = 12,
  kBeaconLocation = 13,
  kBeaconStoppingPoint = 14,
  kBeaconSpeedLimit = 15,
  kBeaconBraking = 16,
  kBeaconDrivingOption = 17,
  kBeaconRain = 18,
};

extern "C" {
ATS_EXPORT void ATS_API Load();
ATS_EXPORT void ATS_API Dispose();
ATS_EXPORT int32_t ATS_API GetPluginVersion();
ATS_EXPORT void ATS_API SetVehicleSpec(ATS_VEHICLESPEC spec);
ATS_EXPORT void ATS_API Initialize(int32_t mode);
ATS_EXPORT ATS_HANDLES ATS_API Elapse(ATS_VEHICLESTATE state, int32_t* panel, int32_t* sound);
ATS_EXPORT void ATS_API SetPower(int32_t notch);
ATS_EXPORT void ATS_API SetBrake(int32_t notch);
ATS_EXPORT void ATS_API SetReverser(int32_t position);
ATS_EXPORT void ATS_API KeyDown(int32_t key);
ATS_EXPORT void ATS_API KeyUp(int32_t key);
ATS_EXPORT void ATS_API HornBlow(int32_t type);
ATS_EXPORT void ATS_API DoorOpen();
ATS_EXPORT void ATS_API DoorClose();
ATS_EXPORT void ATS_API SetSignal(int32_t aspect);
ATS_EXPORT void ATS_API SetBeaconData(ATS_BEACONDATA beacon);
}

extern ATS_VEHICLESPEC gTrainspecs;
extern bool trainspecsSet;
extern ATS_VEHICLESTATE gState;
// The outputs, kept between frames. Power and brake are written by the
// handles in the manual modes, a neutral-section beacon, the door events,
// and frame steps 1 (dwell hold), 5 (automatic driving) and 6-8
// (supervision); within a frame the last writer wins.
extern ATS_HANDLES gHandles;
extern int32_t initBrake;
extern int32_t* gPanel;
extern int32_t* gSound;
extern int32_t memPanelReserve[kChannelCount];
extern int32_t memSoundReserve[kChannelCount];

inline bool IsChannel(int32_t index) { return index >= 0 && index < kChannelCount; }

// Indices outside the arrays are dropped: options may name any index.
inline void SetPanel(int32_t index, int32_t value) {
  if (IsChannel(index)) gPanel[index] = value;
}
inline int32_t PanelValue(int32_t index) { return IsChannel(index) ? gPanel[index] : 0; }
inline void PlaySound(int32_t index) {
  if (IsChannel(index)) gSound[index] = kSoundPlayOnce;
}
