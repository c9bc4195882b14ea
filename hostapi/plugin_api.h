// The host's view of the plug-in: the sixteen exports as a table of function
// pointers, so the same host code
// drives the linked library, a loaded .so or the DLL under wine.
#pragma once

#include "atsplugin.h"

struct PluginApi {
  void(ATS_API* Load)();
  void(ATS_API* Dispose)();
  int32_t(ATS_API* GetPluginVersion)();
  void(ATS_API* SetVehicleSpec)(ATS_VEHICLESPEC);
  void(ATS_API* Initialize)(int32_t);
  ATS_HANDLES(ATS_API* Elapse)(ATS_VEHICLESTATE, int32_t*, int32_t*);
  void(ATS_API* SetPower)(int32_t);
  void(ATS_API* SetBrake)(int32_t);
  void(ATS_API* SetReverser)(int32_t);
  void(ATS_API* KeyDown)(int32_t);
  void(ATS_API* KeyUp)(int32_t);
  void(ATS_API* HornBlow)(int32_t);
  void(ATS_API* DoorOpen)();
  void(ATS_API* DoorClose)();
  void(ATS_API* SetSignal)(int32_t);
  void(ATS_API* SetBeaconData)(ATS_BEACONDATA);
};

// The export names in ordinal order, 1 to 16.
constexpr const char* kExportNames[16] = {
    "Load",     "Dispose",   "GetPluginVersion", "SetVehicleSpec", "Initialize", "Elapse",
    "SetPower", "SetBrake",  "SetReverser",      "KeyDown",        "KeyUp",      "HornBlow",
    "DoorOpen", "DoorClose", "SetSignal",        "SetBeaconData"};

// Fills the table in ordinal order from a lookup of name to address; the
// name of the first export not found, or nullptr once all sixteen are.
template <typename Lookup>
const char* ResolvePluginApi(PluginApi& api, Lookup lookup) {
  void** slots = reinterpret_cast<void**>(&api);
  static_assert(sizeof(PluginApi) == 16 * sizeof(void*));
  for (int i = 0; i < 16; ++i) {
    slots[i] = lookup(kExportNames[i]);
    if (slots[i] == nullptr) return kExportNames[i];
  }
  return nullptr;
}

#ifdef CORVANE_LINKED_API
inline PluginApi LinkedApi() {
  return PluginApi{Load,     Dispose,   GetPluginVersion, SetVehicleSpec, Initialize, Elapse,
                   SetPower, SetBrake,  SetReverser,      KeyDown,        KeyUp,      HornBlow,
                   DoorOpen, DoorClose, SetSignal,        SetBeaconData};
}
#endif
