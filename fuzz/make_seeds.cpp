// Writes the fuzzer's seed inputs: the example lines as the simulator drives
// them, recorded as host calls (with one-second frames, to keep them short).
#include <fmt/format.h>
#include <fmt/os.h>

#include "corvane.h"
#include "host_calls.h"
#include "scenario.h"
#include "simulator.h"
#include "windshield.h"

namespace {

HostCallWriter writer;
const PluginApi kLinked = LinkedApi();

namespace rec {
void ATS_API Load() { writer.Call(1), kLinked.Load(); }
void ATS_API Dispose() { writer.Call(2), kLinked.Dispose(); }
int32_t ATS_API GetPluginVersion() { return writer.Call(3), kLinked.GetPluginVersion(); }
void ATS_API SetVehicleSpec(ATS_VEHICLESPEC s) { writer.Call(4, s), kLinked.SetVehicleSpec(s); }
void ATS_API Initialize(int32_t m) { writer.Call(5, m), kLinked.Initialize(m); }
ATS_HANDLES ATS_API Elapse(ATS_VEHICLESTATE s, int32_t* p, int32_t* so) {
  writer.Elapse(s);
  return kLinked.Elapse(s, p, so);
}
void ATS_API SetPower(int32_t n) { writer.Call(7, n), kLinked.SetPower(n); }
void ATS_API SetBrake(int32_t n) { writer.Call(8, n), kLinked.SetBrake(n); }
void ATS_API SetReverser(int32_t n) { writer.Call(9, n), kLinked.SetReverser(n); }
void ATS_API KeyDown(int32_t k) { writer.Call(10, k), kLinked.KeyDown(k); }
void ATS_API KeyUp(int32_t k) { writer.Call(11, k), kLinked.KeyUp(k); }
void ATS_API HornBlow(int32_t k) { writer.Call(12, k), kLinked.HornBlow(k); }
void ATS_API DoorOpen() { writer.Call(13), kLinked.DoorOpen(); }
void ATS_API DoorClose() { writer.Call(14), kLinked.DoorClose(); }
void ATS_API SetSignal(int32_t s) { writer.Call(15, s), kLinked.SetSignal(s); }
void ATS_API SetBeaconData(ATS_BEACONDATA b) { writer.Call(16, b), kLinked.SetBeaconData(b); }
}  // namespace rec

constexpr PluginApi kRecording{rec::Load,        rec::Dispose,       rec::GetPluginVersion,
                               rec::SetVehicleSpec, rec::Initialize, rec::Elapse,
                               rec::SetPower,    rec::SetBrake,      rec::SetReverser,
                               rec::KeyDown,     rec::KeyUp,         rec::HornBlow,
                               rec::DoorOpen,    rec::DoorClose,     rec::SetSignal,
                               rec::SetBeaconData};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fmt::print(stderr, "usage: make_seeds OUTPUT_DIR SCENARIO...\n");
    return 2;
  }
  for (int i = 2; i < argc; ++i) {
    Scenario s = LoadScenario(argv[i]);
    s.timeStep = 1.0;
    atc = AtcState{};
    windshield = WindshieldState{};
    gState = ATS_VEHICLESTATE{};
    writer = HostCallWriter{};
    RunScenario(s, kRecording);
    const std::string path = fmt::format("{}/seed-{}", argv[1], i - 1);
    fmt::output_file(path).print("{}", writer.bytes());
    fmt::print("{}: {} bytes\n", path, writer.bytes().size());
  }
  return 0;
}
