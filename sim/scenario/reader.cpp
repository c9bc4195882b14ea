// Scenario files in TOML, read with every fault reported as file:line: key.
#include "scenario/reader.h"

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <set>

#include "model/beacon_codes.h"
#include "scenario/line_reader.h"
#include "scenario/sweep_axes.h"
#include "scenario/toml_guard.h"
#include "scenario/toml_reader.h"

namespace {

constexpr double kMostDecel = 20;                      // km/h/s
constexpr size_t kLargestScenario = size_t{64} << 20;  // bytes: about 1.5 million beacons

// The scenario's top-level tables and arrays.
const std::vector<std::string_view> kSections = {"vehicle", "dynamics", "run",    "doors",
                                                 "beacon",  "station",  "action", "gradient",
                                                 "pause",   "driver",   "limit",  "sweep"};

void ReadVehicle(const Reader& r, const toml::table& t, Scenario& s) {
  ATS_VEHICLESPEC& v = s.vehicle;
  r.OnlyKeys(
      t, "vehicle",
      {"brake_notches", "power_notches", "ats_notch", "b67_notch", "cars", "car_length", "load"});
  s.carLengthMetres = r.Within(t, "car_length", "vehicle", s.carLengthMetres, 1, 100, "m");
  s.dynamics.load = r.Within(t, "load", "vehicle", s.dynamics.load, 0, 1, "(empty to full)");
  v.brakeNotchCount = r.Int32(t, "brake_notches", "vehicle", v.brakeNotchCount);
  v.powerNotchCount = r.Int32(t, "power_notches", "vehicle", v.powerNotchCount);
  v.atsCheckNotch = r.Int32(t, "ats_notch", "vehicle", v.atsCheckNotch);
  v.b67Notch = r.Int32(t, "b67_notch", "vehicle", v.b67Notch);
  v.carCount = r.Int32(t, "cars", "vehicle", v.carCount);
  r.Expect(v.brakeNotchCount >= 1, t, "brake_notches", "vehicle", "must be at least 1");
  r.Expect(v.powerNotchCount >= 1, t, "power_notches", "vehicle", "must be at least 1");
  r.Expect(v.carCount >= 1 && v.carCount <= 100, t, "cars", "vehicle", "must lie in 1 to 100");
}

void ReadDynamics(const Reader& r, const toml::table& t, Dynamics& d) {
  r.OnlyKeys(t, "dynamics",
             {"accel_per_notch", "decel_by_notch", "resistance", "resistance_linear",
              "resistance_quadratic", "base_speed", "lag", "brake_delay", "power_delay",
              "load_mass", "adhesion", "wet_adhesion"});
  d.accelPerNotch = r.Within(t, "accel_per_notch", "dynamics", d.accelPerNotch, 0, 10, "km/h/s");
  d.resistance = r.Within(t, "resistance", "dynamics", d.resistance, 0, 10, "km/h/s");
  d.resistanceLinear =
      r.Within(t, "resistance_linear", "dynamics", d.resistanceLinear, 0, 0.1, "km/h/s per km/h");
  d.resistanceQuadratic = r.Within(t, "resistance_quadratic", "dynamics", d.resistanceQuadratic, 0,
                                   0.001, "km/h/s per (km/h)²");
  if (t.contains("base_speed")) {
    d.baseSpeed = r.Within(t, "base_speed", "dynamics", NAN, 1, 300, "km/h");
  }
  d.lagSeconds = r.Within(t, "lag", "dynamics", d.lagSeconds, 0, 10, "s");
  d.brakeDelaySeconds = r.Within(t, "brake_delay", "dynamics", d.brakeDelaySeconds, 0, 5, "s");
  d.powerDelaySeconds = r.Within(t, "power_delay", "dynamics", d.powerDelaySeconds, 0, 5, "s");
  d.loadMass =
      r.Within(t, "load_mass", "dynamics", d.loadMass, 0, 2, "(a share of the empty mass)");
  if (t.contains("adhesion")) {
    d.adhesion = d.wetAdhesion =
        r.Within(t, "adhesion", "dynamics", NAN, 0.01, 1, "(a share of g)");
  }
  if (t.contains("wet_adhesion")) {
    d.wetAdhesion = r.Within(t, "wet_adhesion", "dynamics", NAN, 0.01, 1, "(a share of g)");
  }
  if (const toml::node* node = t.get("decel_by_notch")) {
    const toml::array* list = node->as_array();
    if (list == nullptr || list->size() != d.decelByNotch.size()) {
      r.Fail(LineOf(*node), "dynamics.decel_by_notch",
             "expected 10 numbers, for brake notches 0 to 9");
    }
    for (size_t i = 0; i < list->size(); ++i) {
      const std::string key = fmt::format("dynamics.decel_by_notch[{}]", i);
      d.decelByNotch[i] = r.NumberAt(*list->get(i), key);
      if (d.decelByNotch[i] < 0 || d.decelByNotch[i] > kMostDecel) {
        r.Fail(LineOf(*list->get(i)), key, fmt::format("must lie in 0 to {} km/h/s", kMostDecel));
      }
    }
  }
}

constexpr double kLongestRunSeconds = 7 * 24 * 3600;
constexpr double kShortestStep = 0.001;  // s: at most a billion frames in the longest run
constexpr double kFastest = 300;         // km/h

void ReadRun(const Reader& r, const toml::table& t, Scenario& s) {
  r.OnlyKeys(t, "run",
             {"time_step", "time_step_jitter", "seed", "start_location", "start_time",
              "start_speed", "end_location", "max_duration", "stall_after", "overspeed_margin"});
  s.timeStep = r.Within(t, "time_step", "run", s.timeStep, kShortestStep, 1, "s");
  s.timeStepJitter = r.Number(t, "time_step_jitter", "run", s.timeStepJitter);
  r.Expect(s.timeStepJitter >= 0 && s.timeStepJitter < 1, t, "time_step_jitter", "run",
           "must lie in [0, 1)");
  if (const toml::node* seed = t.get("seed")) {
    const std::optional<int64_t> value = seed->value_exact<int64_t>();
    if (!value || *value < 0) {
      r.Fail(LineOf(*seed), "run.seed", "expected an integer from 0 to 9223372036854775807");
    }
    s.seed = static_cast<uint64_t>(*value);
  }
  s.startLocation = r.Within(t, "start_location", "run", 0, -kFarthest, kFarthest, "m");
  s.startTimeMs = r.TimeOfDay(t, "start_time", "run").value_or(0);
  s.startSpeed = r.Within(t, "start_speed", "run", 0, -kFastest, kFastest, "km/h");
  s.endLocation = r.Within(t, "end_location", "run", NAN, -kFarthest, kFarthest, "m");
  r.Expect(s.endLocation > s.startLocation, t, "end_location", "run",
           "must lie beyond run.start_location");
  s.maxSeconds = r.Number(t, "max_duration", "run", s.maxSeconds);
  r.Expect(s.maxSeconds > 0 && s.maxSeconds <= kLongestRunSeconds, t, "max_duration", "run",
           "must lie in (0, 604800] seconds (seven days)");
  s.stallAfterSeconds =
      r.Within(t, "stall_after", "run", s.stallAfterSeconds, 0.001, kLongestRunSeconds, "s");
  s.overspeedMarginKmh =
      r.Within(t, "overspeed_margin", "run", s.overspeedMarginKmh, 0, kFastest, "km/h");
}

void ReadDoors(const Reader& r, const toml::table& t, DoorBehaviour& d) {
  r.OnlyKeys(t, "doors",
             {"automatic", "dwell", "window", "start_key", "start_delay", "correct_short_stops"});
  d.automatic = r.Bool(t, "automatic", "doors", d.automatic);
  d.dwellSeconds = r.Within(t, "dwell", "doors", d.dwellSeconds, 0, 86400, "s");
  d.window = r.Within(t, "window", "doors", d.window, 0, 50, "m");
  d.startKey = r.Bool(t, "start_key", "doors", d.startKey);
  d.startDelaySeconds = r.Within(t, "start_delay", "doors", d.startDelaySeconds, 0, 3600, "s");
  d.correctShortStops = r.Bool(t, "correct_short_stops", "doors", d.correctShortStops);
}

std::string ModeChoices() {
  std::vector<std::string> names;
  for (const auto& m : kDriverModes) names.push_back(fmt::format("\"{}\"", m.first));
  return fmt::format("{}", fmt::join(names, ", "));
}

void ReadDriver(const Reader& r, const toml::table& t, const ATS_VEHICLESPEC& v, DriverStyle& d) {
  r.OnlyKeys(t, "driver",
             {"mode", "reaction", "margin", "brake_early", "power_notch", "brake_notch"});
  if (const std::optional<std::string> mode = r.String(t, "mode", "driver")) {
    const auto* found = std::find_if(std::begin(kDriverModes), std::end(kDriverModes),
                                     [&](const auto& m) { return *mode == m.first; });
    r.Expect(found != std::end(kDriverModes), t, "mode", "driver",
             fmt::format("expected one of {}", ModeChoices()));
    d.mode = found->second;
  }
  d.reactionSeconds = r.Number(t, "reaction", "driver", d.reactionSeconds);
  r.Expect(d.reactionSeconds >= 0 && d.reactionSeconds <= 5, t, "reaction", "driver",
           "must lie in 0 to 5 seconds");
  d.margin = r.Number(t, "margin", "driver", d.margin);
  d.brakeEarlySeconds = r.Number(t, "brake_early", "driver", d.brakeEarlySeconds);
  r.Expect(d.brakeEarlySeconds >= 0, t, "brake_early", "driver", "must not be negative");
  d.powerNotch = r.Int32(t, "power_notch", "driver", std::min(d.powerNotch, v.powerNotchCount));
  r.Expect(d.powerNotch >= 1 && d.powerNotch <= v.powerNotchCount, t, "power_notch", "driver",
           "must lie in 1 to the vehicle's power notches");
  d.brakeNotch = r.Int32(t, "brake_notch", "driver", d.brakeNotch);
  r.Expect(d.brakeNotch >= 1 && d.brakeNotch <= 8, t, "brake_notch", "driver",
           "must lie in 1 to 8");
}

constexpr double kLongestPauseSeconds = 10;

constexpr size_t kMostCombinations = 100000;

// A value list [a, b, …], or { from, to, steps } evenly spaced with both ends.
std::vector<double> SweepValues(const Reader& r, const toml::node& node, const std::string& name) {
  std::vector<double> values;
  if (const toml::array* list = node.as_array()) {
    for (const toml::node& v : *list) values.push_back(r.NumberAt(v, name));
  } else if (const toml::table* t = node.as_table()) {
    r.OnlyKeys(*t, name, {"from", "to", "steps"});
    const double from = r.Number(*t, "from", name), to = r.Number(*t, "to", name);
    const int32_t steps = r.Int32(*t, "steps", name);
    r.Expect(steps >= 1 && steps <= 1000, *t, "steps", name, "must lie in 1 to 1000");
    for (int32_t i = 0; i < steps; ++i)
      values.push_back(steps == 1 ? from : from + (to - from) * i / (steps - 1));
  } else {
    r.Fail(LineOf(node), name, "expected a list of values or { from, to, steps }");
  }
  if (values.empty()) r.Fail(LineOf(node), name, "expected at least one value");
  return values;
}

void ReadSweep(const Reader& r, const toml::table& t, Scenario& s) {
  std::vector<std::string_view> names;
  for (const SweepKey& k : kSweepKeys) names.push_back(k.name);
  r.OnlyKeys(t, "sweep", names);
  size_t combinations = 1;
  for (const SweepKey& k : kSweepKeys) {
    const toml::node* node = t.get(k.name);
    if (node == nullptr) continue;
    const std::string name = fmt::format("sweep.{}", k.name);
    SweepAxis axis{k.name, SweepValues(r, *node, name), LineOf(*node)};
    for (double v : axis.values) {
      if (v < k.low || v > k.high || (axis.name == "seed" && v != std::floor(v))) {
        r.Fail(axis.line, name,
               fmt::format("{:g} is outside {:g} to {:g}{}{}", v, k.low, k.high, *k.unit ? " " : "",
                           k.unit));
      }
    }
    combinations *= axis.values.size();
    if (combinations > kMostCombinations) {
      r.Fail(axis.line, name,
             fmt::format("the sweep has more than {} combinations", kMostCombinations));
    }
    s.sweep.push_back(std::move(axis));
  }
}

void ReadPauses(const Reader& r, const toml::array& list, Scenario& s) {
  for (const toml::node& node : list) {
    const toml::table& t = *node.as_table();
    r.OnlyKeys(t, "pause", {"time", "duration"});
    const Pause p{r.Number(t, "time", "pause"), r.Number(t, "duration", "pause"), LineOf(t)};
    r.Expect(p.atSeconds >= 0, t, "time", "pause", "must not be negative");
    r.Expect(p.seconds > 0 && p.seconds <= kLongestPauseSeconds, t, "duration", "pause",
             "must lie in (0, 10] seconds");
    s.pauses.push_back(p);
  }
  std::stable_sort(s.pauses.begin(), s.pauses.end(),
                   [](const Pause& a, const Pause& b) { return a.atSeconds < b.atSeconds; });
}

void ReadTimeline(const Reader& r, const toml::array& list, Scenario& s) {
  for (const toml::node& node : list) {
    const toml::table& t = *node.as_table();
    r.OnlyKeys(t, "action", {"time", "location", "key", "power", "brake", "reverser", "doors"});
    Action a{};
    a.line = LineOf(t);
    if (t.contains("time")) {
      a.atSeconds = r.Within(t, "time", "action", NAN, 0, kLongestRunSeconds, "s");
    }
    if (t.contains("location")) {
      a.atLocation = r.Within(t, "location", "action", NAN, -kFarthest, kFarthest, "m");
    }
    if (a.atSeconds.has_value() == a.atLocation.has_value()) {
      r.Fail(a.line, "action", "give exactly one of time or location");
    }
    int kinds = 0;
    // A handle within the vehicle's notches; a key the host has.
    const auto take = [&](std::string_view key, ActionKind kind, int32_t lo, int32_t hi) {
      if (!t.contains(key)) return;
      ++kinds;
      a.kind = kind;
      a.value = r.Int32(t, key, "action");
      r.Expect(a.value >= lo && a.value <= hi, t, key, "action",
               fmt::format("must lie in {} to {}", lo, hi));
    };
    take("key", ActionKind::Key, 0, 15);
    take("power", ActionKind::Power, 0, s.vehicle.powerNotchCount);
    take("brake", ActionKind::Brake, 0, s.vehicle.brakeNotchCount + 1);
    take("reverser", ActionKind::Reverser, -1, 1);
    if (const std::optional<std::string> doors = r.String(t, "doors", "action")) {
      ++kinds;
      if (*doors != "open" && *doors != "close")
        r.Fail(a.line, "action.doors", "expected \"open\" or \"close\"");
      a.kind = *doors == "open" ? ActionKind::OpenDoors : ActionKind::CloseDoors;
    }
    if (kinds != 1)
      r.Fail(a.line, "action", "give exactly one of key, power, brake, reverser or doors");
    s.timeline.push_back(a);
  }
}

}  // namespace

// Sets "dotted.key=value" in the file's tables, the value read as TOML.
void Override(toml::table& root, const std::string& setting) {
  const size_t equals = setting.find('=');
  const auto bad = [&](std::string_view why) {
    return ScenarioError(fmt::format("--set {}: {}", setting, why));
  };
  if (equals == std::string::npos || equals == 0) throw bad("expected KEY=VALUE");
  toml::table value;
  try {
    value = toml::parse("v = " + setting.substr(equals + 1), kOverrideSource);
  } catch (const toml::parse_error& e) {
    throw bad(fmt::format("the value is not TOML: {}", e.description()));
  }
  const std::string key = setting.substr(0, equals);
  toml::table* table = &root;
  size_t from = 0;
  for (size_t dot; (dot = key.find('.', from)) != std::string::npos; from = dot + 1) {
    const std::string part = key.substr(from, dot - from);
    auto [at, added] = table->emplace(part, toml::table{});
    table = at->second.as_table();
    if (table == nullptr) throw bad(fmt::format("{} is not a table", key.substr(0, dot)));
  }
  table->insert_or_assign(key.substr(from), std::move(*value.get("v")));
}

Scenario ParseScenario(std::string_view text, const std::string& path,
                       const std::vector<std::string>& overrides) {
  const Reader r(path, kSections);
  const TomlShape shape = CheckTomlShape(text);
  if (shape.fault) r.Fail(shape.fault->line, "syntax", shape.fault->message);
  toml::table root;
  try {
    if (shape.masked)
      static_cast<void>(toml::parse(*shape.masked, path));  // the same faults at the same places
    root = toml::parse(text, path);
  } catch (const toml::parse_error& e) {
    r.Fail(static_cast<int>(e.source().begin.line), "syntax", e.description());
  }
  for (const std::string& setting : overrides) Override(root, setting);
  r.OnlyKeys(root, "", kSections);
  Scenario s;
  s.path = path;
  const toml::table* run = r.Table(root, "run");
  if (run == nullptr) r.Fail(1, "run", "missing: the [run] table with at least end_location");
  ReadRun(r, *run, s);
  if (const toml::table* t = r.Table(root, "vehicle")) ReadVehicle(r, *t, s);
  if (const toml::table* t = r.Table(root, "dynamics")) ReadDynamics(r, *t, s.dynamics);
  s.dynamics.lengthMetres = s.vehicle.carCount * s.carLengthMetres;
  if (const toml::table* t = r.Table(root, "doors")) ReadDoors(r, *t, s.doors);
  if (const toml::table* t = r.Table(root, "driver")) ReadDriver(r, *t, s.vehicle, s.driver);
  if (const toml::table* t = r.Table(root, "sweep")) ReadSweep(r, *t, s);
  ReadLine(r, root, s);
  if (const toml::array* a = r.Array(root, "action")) ReadTimeline(r, *a, s);
  if (const toml::array* a = r.Array(root, "pause")) ReadPauses(r, *a, s);
  return s;
}

Scenario LoadScenario(const std::string& path, const std::vector<std::string>& overrides) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    throw ScenarioError(fmt::format("{}: cannot be read: it is a directory", path));
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    throw ScenarioError(fmt::format("{}: cannot be opened: {}", path, std::strerror(errno)));
  }
  std::string text;
  char buffer[65536];
  for (size_t n;
       text.size() <= kLargestScenario && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
    text.append(buffer, n);
  }
  const bool failed = std::ferror(file);
  std::fclose(file);
  if (failed)
    throw ScenarioError(fmt::format("{}: cannot be read: {}", path, std::strerror(errno)));
  if (text.size() > kLargestScenario) {
    throw ScenarioError(fmt::format("{}: larger than the {} MiB a scenario may have", path,
                                    kLargestScenario >> 20));
  }
  return ParseScenario(text, path, overrides);
}
