// One call from the host into the plug-in, as a record: which export (by
// ordinal) and its argument. Recorders pass these to a sink.
#pragma once

#include <cstdint>
#include <functional>

#include "plugin_api.h"

struct HostCall {
  int ordinal = 0;    // 1 to 16, the order of kExportNames
  int32_t value = 0;  // the int argument of the calls that take one
  ATS_VEHICLESPEC spec{};
  ATS_VEHICLESTATE state{};
  ATS_BEACONDATA beacon{};
};

enum Ordinal : int {
  kLoad = 1,
  kDispose,
  kGetPluginVersion,
  kSetVehicleSpec,
  kInitialize,
  kElapse,
  kSetPower,
  kSetBrake,
  kSetReverser,
  kKeyDown,
  kKeyUp,
  kHornBlow,
  kDoorOpen,
  kDoorClose,
  kSetSignal,
  kSetBeaconData,
};

// The sound value a host writes back once it has started a sound, so the
// plug-in's next 1 is a new request.
constexpr int32_t kSoundStarted = 0;

// Prints " what[i]=v" for each entry that differs from seen, and updates seen.
void PrintChangedEntries(const char* what, const int32_t* now, int32_t* seen);

// An API that hands every call to the sink and then forwards it to the
// target. One recorder at a time: the table's functions are plain pointers.
PluginApi RecordingApi(const PluginApi& target, std::function<void(const HostCall&)> sink);

// Makes the call on the API; Elapse's handles are returned, others give {}.
ATS_HANDLES Invoke(const PluginApi& api, const HostCall& call, int32_t* panel, int32_t* sound);
