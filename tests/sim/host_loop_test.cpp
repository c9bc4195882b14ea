// The simulator as a host: the order of its calls into a recording fake of
// the sixteen exports, and the example lines end to end through the real plug-in.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "channels.h"
#include "fresh_library.h"
#include "host/simulator.h"
#include "model/dynamics.h"
#include "report/summary.h"
#include "scenario/reader.h"

namespace {

namespace fake {
std::vector<std::string> calls;
int32_t soundSeen = -1;  // sound 4 as the fake finds it in the next frame
void Log(std::string call) { calls.push_back(std::move(call)); }
void ATS_API Load() { Log("Load"); }
void ATS_API Dispose() { Log("Dispose"); }
int32_t ATS_API GetPluginVersion() { return 0x20000; }
void ATS_API SetVehicleSpec(ATS_VEHICLESPEC s) {
  Log("SetVehicleSpec " + std::to_string(s.carCount));
}
void ATS_API Initialize(int32_t m) { Log("Initialize " + std::to_string(m)); }
ATS_HANDLES ATS_API Elapse(ATS_VEHICLESTATE s, int32_t*, int32_t* sound) {
  Log("Elapse " + std::to_string(s.time));
  soundSeen = sound[sound::kChime];
  for (int32_t i : {sound::kStartKeyDown, sound::kChime, sound::kKey7DoorsOpen}) {
    sound[i] = 1;  // sound requests in every frame, the first channel among them
  }
  return ATS_HANDLES{0, 1, 1, 0};
}
void ATS_API SetPower(int32_t n) { Log("SetPower " + std::to_string(n)); }
void ATS_API SetBrake(int32_t n) { Log("SetBrake " + std::to_string(n)); }
void ATS_API SetReverser(int32_t n) { Log("SetReverser " + std::to_string(n)); }
void ATS_API KeyDown(int32_t k) { Log("KeyDown " + std::to_string(k)); }
void ATS_API KeyUp(int32_t k) { Log("KeyUp " + std::to_string(k)); }
void ATS_API HornBlow(int32_t) { Log("HornBlow"); }
void ATS_API DoorOpen() { Log("DoorOpen"); }
void ATS_API DoorClose() { Log("DoorClose"); }
void ATS_API SetSignal(int32_t) { Log("SetSignal"); }
void ATS_API SetBeaconData(ATS_BEACONDATA b) { Log("SetBeaconData " + std::to_string(b.type)); }
constexpr PluginApi kApi{Load,         Dispose,  GetPluginVersion, SetVehicleSpec, Initialize,
                         Elapse,       SetPower, SetBrake,         SetReverser,    KeyDown,
                         KeyUp,        HornBlow, DoorOpen,         DoorClose,      SetSignal,
                         SetBeaconData};
}  // namespace fake

TEST(HostLoop, CallsFollowTheHostsLifecycleAndFrameOrder) {
  Scenario s;
  s.timeStep = 0.5;
  s.startTimeMs = 1000;
  s.endLocation = 1e6;
  s.maxSeconds = 2;
  s.doors.automatic = false;
  s.driver.mode = DriverMode::Unattended;  // no steps into a mode: only the timeline's actions
  s.beacons.push_back({0.0, ATS_BEACONDATA{15, 0, 0, 60}, 1});
  s.beacons.push_back({0.001, ATS_BEACONDATA{13, 0, 0, 12}, 2});  // reached by the first move
  s.timeline.push_back({0.0, std::nullopt, ActionKind::Brake, 8, 3});
  s.timeline.push_back({0.5, std::nullopt, ActionKind::Key, 2, 4});
  fake::calls.clear();
  const RunResult run = RunScenario(s, fake::kApi);
  const std::vector<std::string> expected = {"Load",
                                             "SetVehicleSpec 6",
                                             "Initialize 1",
                                             "DoorClose",  // away from a platform
                                             "SetBeaconData 15",
                                             "SetBrake 8",
                                             "Elapse 1000",
                                             "SetBeaconData 13",
                                             "KeyDown 2",
                                             "KeyUp 2",
                                             "Elapse 1500",
                                             "Elapse 2000",
                                             "Elapse 2500",
                                             "Dispose"};
  EXPECT_EQ(fake::calls, expected);
  EXPECT_EQ(run.frames, 4);
  EXPECT_EQ(fake::soundSeen, kSoundStarted);  // the 1 was taken as a request and answered
  for (const char* sound : {"sound: start key down", "sound: chime", "sound: key 7, doors open"}) {
    int heard = 0;
    for (const RunEvent& e : run.events) heard += e.text == sound;
    EXPECT_EQ(heard, 4) << sound;
  }
  int handleChanges = 0;  // the fake answers the same handles every frame
  for (const RunEvent& e : run.events) handleChanges += e.text == "brake 0 power 1";
  EXPECT_EQ(handleChanges, 1);
  EXPECT_EQ(run.events.front().text, "doors closed");
  EXPECT_EQ(run.events.front().timeMs, 1000);  // before the first frame, at the start time
}

TEST(HostLoop, TimesOfDayWrapAtMidnightAndLengthsCountDays) {
  const std::pair<int32_t, const char*> times[] = {{0, "00:00:00.000"},
                                                   {28799999, "07:59:59.999"},
                                                   {86400005, "00:00:00.005"},
                                                   {-1, "23:59:59.999"}};
  for (const auto& [ms, text] : times) EXPECT_EQ(FormatTime(ms), text) << ms;
  const std::pair<int64_t, const char*> lengths[] = {
      {473499, "00:07:53"},
      {86399983, "24:00:00"},  // a day's run, a frame short
      {86401000, "1 d 00:00:01"},
      {(2 * 86400 + 3 * 3600 + 245) * 1000LL, "2 d 03:04:05"}};
  for (const auto& [ms, text] : lengths) EXPECT_EQ(FormatDuration(ms), text) << ms;
}

TEST(HostLoop, AStretchAboveTheTargetIsSaidOnceWhenAPointAndWhereItLies) {
  const Station st{"B", 2800, 0, std::nullopt, 1};
  StopRecord r{&st};
  r.stoppedAt = 2801.5;
  r.overTargetBy = 3;
  const std::tuple<double, double, const char*> stretches[] = {
      {2300.2, 2300.4, "at 2300 m (500 m before the stop)"}, {2400, 2799.8, "from 2400 to 2800 m"}};
  for (const auto& [from, to, text] : stretches) {
    r.overTargetFrom = from;
    r.overTargetTo = to;
    EXPECT_EQ(MissedBecause(r, "", 0),
              fmt::format("overran by 1.50 m; above the cab's target {}, by up to 3.0 km/h", text));
  }
}

// A freshly loaded library for each line, as a new simulator process has.
void ExpectEveryStopMade(const char* file, bool scheduled, double within = kDockedWindow) {
  FreshLibrary();
  const Scenario s = LoadScenario(std::string(CORVANE_EXAMPLES_DIR) + "/" + file);
  const RunResult run = RunScenario(s, LinkedApi());
  ASSERT_EQ(run.stops.size(), s.stations.size());
  for (size_t i = 0; i < run.stops.size(); ++i) {
    const StopRecord& r = run.stops[i];
    EXPECT_NEAR(r.stoppedAt.value_or(-1), r.station->stop, within) << r.station->name;
    EXPECT_TRUE(r.doorsOpenMs && r.doorsClosedMs) << r.station->name;
    if (i + 1 < run.stops.size()) {
      ASSERT_TRUE(r.departureMs) << r.station->name;
      if (scheduled) EXPECT_GE(*r.departureMs, *r.station->departureMs) << r.station->name;
    }
  }
  EXPECT_FALSE(run.stops.back().departureMs);  // the terminus
}

// A run asked to end as the doors open at the last stop (the layout's
// trials) ends there, its stops as a whole run has them.
TEST(HostLoop, ARunUntilTheLastDoorsEndsAsTheyOpen) {
  const Scenario s = LoadScenario(std::string(CORVANE_EXAMPLES_DIR) + "/demo.toml");
  FreshLibrary();
  const RunResult whole = RunScenario(s, LinkedApi());
  FreshLibrary();
  RunHooks hooks;
  hooks.untilTheLastDoors = true;
  const RunResult cut = RunScenario(s, LinkedApi(), hooks);
  EXPECT_EQ(cut.end, RunEnd::Terminus);
  ASSERT_EQ(cut.stops.size(), whole.stops.size());
  const StopRecord& last = cut.stops.back();
  ASSERT_TRUE(last.doorsOpenMs);
  EXPECT_FALSE(last.doorsClosedMs);
  EXPECT_LE(cut.endTimeMs - *last.doorsOpenMs, 50);  // a frame or so
  EXPECT_LT(cut.endTimeMs, whole.endTimeMs);
  for (size_t i = 0; i < cut.stops.size(); ++i) {
    EXPECT_EQ(cut.stops[i].firstStoppedAt, whole.stops[i].firstStoppedAt) << i;
    EXPECT_EQ(cut.stops[i].doorsOpenMs, whole.stops[i].doorsOpenMs) << i;
  }
}

// The demo line, the unattended train that leaves by itself, the hills on
// uneven frames (within 30 cm), and the metro train with every effect on.
TEST(ExampleLines, DockEveryStopAndKeepTheSchedule) {
  const std::pair<const char*, double> lines[] = {{"demo.toml", kDockedWindow},
                                                  {"unattended.toml", kDockedWindow},
                                                  {"hills.toml", 0.3},
                                                  {"metro_train.toml", 0.3}};
  for (const auto& [file, within] : lines) {
    SCOPED_TRACE(file);
    ExpectEveryStopMade(file, true, within);
  }
}

}  // namespace
