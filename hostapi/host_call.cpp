#include "host_call.h"

#include <cstdio>
#include <utility>

namespace {

PluginApi target;
std::function<void(const HostCall&)> sink;

HostCall WithValue(int ordinal, int32_t value) {
  HostCall c;
  c.ordinal = ordinal;
  c.value = value;
  return c;
}
void Record(HostCall c) { sink(c); }
void Record(int ordinal) { sink(WithValue(ordinal, 0)); }
void Record(int ordinal, int32_t value) { sink(WithValue(ordinal, value)); }

namespace recorded {

void ATS_API Load() { Record(kLoad), target.Load(); }
void ATS_API Dispose() { Record(kDispose), target.Dispose(); }
int32_t ATS_API GetPluginVersion() { return Record(kGetPluginVersion), target.GetPluginVersion(); }
void ATS_API SetVehicleSpec(ATS_VEHICLESPEC s) {
  HostCall c = WithValue(kSetVehicleSpec, 0);
  c.spec = s;
  Record(c);
  target.SetVehicleSpec(s);
}
void ATS_API Initialize(int32_t m) { Record(kInitialize, m), target.Initialize(m); }
ATS_HANDLES ATS_API Elapse(ATS_VEHICLESTATE s, int32_t* panel, int32_t* sound) {
  HostCall c = WithValue(kElapse, 0);
  c.state = s;
  Record(c);
  return target.Elapse(s, panel, sound);
}
void ATS_API SetPower(int32_t n) { Record(kSetPower, n), target.SetPower(n); }
void ATS_API SetBrake(int32_t n) { Record(kSetBrake, n), target.SetBrake(n); }
void ATS_API SetReverser(int32_t n) { Record(kSetReverser, n), target.SetReverser(n); }
void ATS_API KeyDown(int32_t k) { Record(kKeyDown, k), target.KeyDown(k); }
void ATS_API KeyUp(int32_t k) { Record(kKeyUp, k), target.KeyUp(k); }
void ATS_API HornBlow(int32_t k) { Record(kHornBlow, k), target.HornBlow(k); }
void ATS_API DoorOpen() { Record(kDoorOpen), target.DoorOpen(); }
void ATS_API DoorClose() { Record(kDoorClose), target.DoorClose(); }
void ATS_API SetSignal(int32_t s) { Record(kSetSignal, s), target.SetSignal(s); }
void ATS_API SetBeaconData(ATS_BEACONDATA b) {
  HostCall c = WithValue(kSetBeaconData, 0);
  c.beacon = b;
  Record(c);
  target.SetBeaconData(b);
}
}  // namespace recorded

}  // namespace

PluginApi RecordingApi(const PluginApi& api, std::function<void(const HostCall&)> s) {
  target = api;
  sink = std::move(s);
  return PluginApi{recorded::Load,           recorded::Dispose,    recorded::GetPluginVersion,
                   recorded::SetVehicleSpec, recorded::Initialize, recorded::Elapse,
                   recorded::SetPower,       recorded::SetBrake,   recorded::SetReverser,
                   recorded::KeyDown,        recorded::KeyUp,      recorded::HornBlow,
                   recorded::DoorOpen,       recorded::DoorClose,  recorded::SetSignal,
                   recorded::SetBeaconData};
}

ATS_HANDLES Invoke(const PluginApi& api, const HostCall& c, int32_t* panel, int32_t* sound) {
  switch (c.ordinal) {
    case kLoad: api.Load(); break;
    case kDispose: api.Dispose(); break;
    case kGetPluginVersion: api.GetPluginVersion(); break;
    case kSetVehicleSpec: api.SetVehicleSpec(c.spec); break;
    case kInitialize: api.Initialize(c.value); break;
    case kElapse: return api.Elapse(c.state, panel, sound);
    case kSetPower: api.SetPower(c.value); break;
    case kSetBrake: api.SetBrake(c.value); break;
    case kSetReverser: api.SetReverser(c.value); break;
    case kKeyDown: api.KeyDown(c.value); break;
    case kKeyUp: api.KeyUp(c.value); break;
    case kHornBlow: api.HornBlow(c.value); break;
    case kDoorOpen: api.DoorOpen(); break;
    case kDoorClose: api.DoorClose(); break;
    case kSetSignal: api.SetSignal(c.value); break;
    case kSetBeaconData: api.SetBeaconData(c.beacon); break;
    default: break;
  }
  return ATS_HANDLES{};
}

void PrintChangedEntries(const char* what, const int32_t* now, int32_t* seen) {
  for (int i = 0; i < kChannelCount; ++i) {
    if (now[i] != seen[i]) std::printf(" %s[%d]=%d", what, i, now[i]);
    seen[i] = now[i];
  }
}
