// atsplugin: the sixteen exports, the reserves and the hand-over of the
// host's arrays. Each export forwards to the modules in a fixed order.
#include "atsplugin.h"

#include <algorithm>

#include "confload.h"
#include "corvane.h"
#include "traincontrol.h"
#include "windshield.h"

ATS_VEHICLESPEC gTrainspecs{};
bool trainspecsSet = false;
ATS_VEHICLESTATE gState{};
ATS_HANDLES gHandles{};
int32_t initBrake = 1;
int32_t memPanelReserve[kChannelCount]{};
int32_t memSoundReserve[kChannelCount]{};
int32_t* gPanel = memPanelReserve;
int32_t* gSound = memSoundReserve;

namespace {

// A host array at a new address receives the reserve; a null address sends
// the writes back to the reserve rather than crashing.
void AdoptArray(int32_t*& current, int32_t* hostArray, const int32_t* reserve) {
  if (hostArray == current) return;
  if (hostArray == nullptr) {
    current = const_cast<int32_t*>(reserve);
    return;
  }
  current = hostArray;
  std::copy(reserve, reserve + kChannelCount, hostArray);
}

}  // namespace

extern "C" {

void ATS_API Load() {
  std::fill(std::begin(memPanelReserve), std::end(memPanelReserve), 0);
  std::fill(std::begin(memSoundReserve), std::end(memSoundReserve), kSoundSilent);
  gPanel = memPanelReserve;
  gSound = memSoundReserve;
}

void ATS_API Dispose() {
  DestroyTrainControl();
  DestroyWindshield();
}

int32_t ATS_API GetPluginVersion() { return kPluginVersion; }

void ATS_API SetVehicleSpec(ATS_VEHICLESPEC spec) {
  gTrainspecs = spec;
  if (trainspecsSet) return;
  trainspecsSet = true;
  Initialize(initBrake);
}

void ATS_API Initialize(int32_t mode) {
  gPanel = memPanelReserve;
  gSound = memSoundReserve;
  initBrake = mode;
  if (!trainspecsSet) return;
  SetDefaults();
  DestroyTrainControl();
  InitTrainControl(mode);
  DestroyWindshield();
  InitWindshield();
}

ATS_HANDLES ATS_API Elapse(ATS_VEHICLESTATE state, int32_t* panel, int32_t* sound) {
  AdoptArray(gPanel, panel, memPanelReserve);
  AdoptArray(gSound, sound, memSoundReserve);
  gState = state;
  AnimateWindshield();
  SetTargetSpeed(gState.speed);
  return gHandles;
}

void ATS_API SetPower(int32_t notch) { SetPowerHandle(notch); }
void ATS_API SetBrake(int32_t notch) { SetBrakeHandle(notch); }
void ATS_API SetReverser(int32_t position) { SetReverserHandle(position); }

void ATS_API KeyDown(int32_t key) {
  WindshieldKeyPressed(key);
  StartKeyPressed(key);
}

void ATS_API KeyUp(int32_t key) { StartKeyReleased(key); }
void ATS_API HornBlow(int32_t) {}
void ATS_API DoorOpen() { CheckDoor(true); }
void ATS_API DoorClose() { CheckDoor(false); }
void ATS_API SetSignal(int32_t) {}

void ATS_API SetBeaconData(ATS_BEACONDATA beacon) {
  WindshieldBeacon(beacon);
  SetMaxSpeed(beacon);
}

}  // extern "C"
