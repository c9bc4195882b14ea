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
#include "scenario/keys.h"
#include "scenario/line_reader.h"
#include "scenario/sweep_axes.h"
#include "scenario/toml_guard.h"
#include "scenario/toml_reader.h"

namespace {

constexpr size_t kLargestScenario = size_t{64} << 20;  // bytes: about 1.5 million beacons

// The section's keys checked, and its plain keys read over the Scenario's defaults.
void ReadSection(const Reader& r, const toml::table& t, std::string_view section, Scenario& s) {
  r.OnlyKeys(t, section, KeyNames(section));
  for (const ScenarioKey& k : kScenarioKeys) {
    if (k.section != section || !k.Plain() || !(k.required || t.contains(k.name))) continue;
    k.slot.set(s, k.type == KeyType::Flag ? r.Bool(t, k.name, section, false) : r.Within(t, k));
  }
}

void ReadDynamics(const Reader& r, const toml::table& t, Scenario& s) {
  ReadSection(r, t, "dynamics", s);
  std::array<double, 10>& decel = s.dynamics.decelByNotch;
  if (const toml::node* node = t.get("decel_by_notch")) {
    const toml::array* list = node->as_array();
    if (list == nullptr || list->size() != decel.size()) {
      r.Fail(LineOf(*node), "dynamics.decel_by_notch",
             "expected 10 numbers, for brake notches 0 to 9");
    }
    const ScenarioKey& each = KeyOf("dynamics", "decel_by_notch");
    for (size_t i = 0; i < list->size(); ++i) {
      const std::string key = fmt::format("dynamics.decel_by_notch[{}]", i);
      decel[i] = r.NumberAt(*list->get(i), key);
      if (!Admits(each, decel[i])) r.Fail(LineOf(*list->get(i)), key, Refusal(each));
    }
  }
}

void ReadRun(const Reader& r, const toml::table& t, Scenario& s) {
  ReadSection(r, t, "run", s);
  if (const toml::node* seed = t.get("seed")) {
    const std::optional<int64_t> value = seed->value_exact<int64_t>();
    if (!value || *value < 0) {
      r.Fail(LineOf(*seed), "run.seed",
             "expected an integer from " + RangeText(KeyOf("run", "seed")));
    }
    s.seed = static_cast<uint64_t>(*value);
  }
  s.startTimeMs = r.TimeOfDay(t, "start_time", "run").value_or(0);
  const toml::node* start = t.get("start_location");
  s.startLine = LineOf(start != nullptr ? *start : t);
  r.Expect(s.endLocation > s.startLocation, t, "end_location", "run",
           "must lie beyond run.start_location");
}

std::string ModeChoices() {
  std::vector<std::string> names;
  for (const auto& m : kDriverModes) names.push_back(fmt::format("\"{}\"", m.first));
  return fmt::format("{}", fmt::join(names, ", "));
}

void ReadDriver(const Reader& r, const toml::table& t, Scenario& s) {
  ReadSection(r, t, "driver", s);
  DriverStyle& d = s.driver;
  if (const std::optional<std::string> mode = r.String(t, "mode", "driver")) {
    const auto* found = std::find_if(std::begin(kDriverModes), std::end(kDriverModes),
                                     [&](const auto& m) { return *mode == m.first; });
    r.Expect(found != std::end(kDriverModes), t, "mode", "driver",
             fmt::format("expected one of {}", ModeChoices()));
    d.mode = found->second;
  }
  const int32_t notches = s.vehicle.powerNotchCount;
  d.powerNotch = r.Int32(t, "power_notch", "driver", std::min(d.powerNotch, notches));
  r.Expect(d.powerNotch >= 1 && d.powerNotch <= notches, t, "power_notch", "driver",
           "must lie in 1 to the vehicle's power notches");
}

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
    r.Expect(steps > 1 || from == to, *t, "steps", name,
             "1 step gives only from: give at least 2, or to equal to from");
    for (int32_t i = 0; i < steps; ++i)
      values.push_back(steps == 1 ? from : from + (to - from) * i / (steps - 1));
  } else {
    r.Fail(LineOf(node), name, "expected a list of values or { from, to, steps }");
  }
  if (values.empty()) r.Fail(LineOf(node), name, "expected at least one value");
  return values;
}

// Any key a sweep may vary, by its name; the axes in the table's order.
void ReadSweep(const Reader& r, const toml::table& t, Scenario& s) {
  std::vector<std::string_view> names;
  for (const ScenarioKey& k : kScenarioKeys) {
    if (k.sweep) names.push_back(k.name);
  }
  r.OnlyKeys(t, "sweep", names);
  size_t combinations = 1;
  for (const ScenarioKey& k : kScenarioKeys) {
    const toml::node* node = k.sweep ? t.get(k.name) : nullptr;
    if (node == nullptr) continue;
    const std::string name = fmt::format("sweep.{}", k.name);
    SweepAxis axis{std::string(k.name), SweepValues(r, *node, name), LineOf(*node)};
    std::set<double> seen;
    for (double v : axis.values) {
      if (k.type == KeyType::Integer && v != std::floor(v))
        r.Fail(axis.line, name, fmt::format("{} is not a whole number", v));
      if (!Admits(k, v))
        r.Fail(axis.line, name, fmt::format("{} is outside {}", v, RangeAndUnit(k)));
      if (!seen.insert(v).second)
        r.Fail(axis.line, name, fmt::format("{} is given twice: each run would be the same", v));
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
  const std::vector<std::string_view> keys = KeyNames("pause");
  const ScenarioKey &time = KeyOf("pause", "time"), &duration = KeyOf("pause", "duration");
  for (const toml::node& node : list) {
    const toml::table& t = *node.as_table();
    r.OnlyKeys(t, "pause", keys);
    s.pauses.push_back({r.Within(t, time), r.Within(t, duration), LineOf(t)});
  }
  std::stable_sort(s.pauses.begin(), s.pauses.end(),
                   [](const Pause& a, const Pause& b) { return a.atSeconds < b.atSeconds; });
}

void ReadTimeline(const Reader& r, const toml::array& list, Scenario& s) {
  const std::vector<std::string_view> keys = KeyNames("action");
  const ScenarioKey &time = KeyOf("action", "time"), &location = KeyOf("action", "location");
  const ScenarioKey &cabKey = KeyOf("action", "key"), &reverser = KeyOf("action", "reverser");
  for (const toml::node& node : list) {
    const toml::table& t = *node.as_table();
    r.OnlyKeys(t, "action", keys);
    Action a{};
    a.line = LineOf(t);
    if (t.contains("time")) a.atSeconds = r.Within(t, time);
    if (t.contains("location")) a.atLocation = r.Within(t, location);
    if (a.atSeconds.has_value() == a.atLocation.has_value()) {
      r.Fail(a.line, "action", "give exactly one of time or location");
    }
    int kinds = 0;
    // A handle within the vehicle's notches; a key the host has.
    const auto take = [&](std::string_view key, ActionKind kind, double lo, double hi) {
      if (!t.contains(key)) return;
      ++kinds;
      a.kind = kind;
      a.value = r.Int32(t, key, "action");
      r.Expect(a.value >= lo && a.value <= hi, t, key, "action",
               fmt::format("must lie in {} to {}", lo, hi));
    };
    take("key", ActionKind::Key, cabKey.low, cabKey.high);
    take("power", ActionKind::Power, 0, s.vehicle.powerNotchCount);
    take("brake", ActionKind::Brake, 0, s.vehicle.brakeNotchCount + 1);
    take("reverser", ActionKind::Reverser, reverser.low, reverser.high);
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
  const std::string text = "v = " + setting.substr(equals + 1);
  if (text.find_first_of("\r\n") != std::string::npos) throw bad("the value must be on one line");
  const TomlShape shape = CheckTomlShape(text);  // as a file's text must
  if (shape.fault) throw bad(shape.fault->message);
  toml::table value;
  try {
    if (shape.masked) static_cast<void>(toml::parse(*shape.masked, kOverrideSource));
    value = toml::parse(text, kOverrideSource);
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
  // The byte-order mark some editors begin a UTF-8 file with is no part of the text.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string_view> sections;
  for (const KeySection& section : kKeySections) sections.push_back(section.name);
  const Reader r(path, sections);
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
  r.OnlyKeys(root, "", sections);
  Scenario s;
  s.path = path;
  s.source = std::make_shared<const std::string>(text);
  const toml::table* run = r.Table(root, "run");
  if (run == nullptr) r.Fail(1, "run", "missing: the [run] table with at least end_location");
  ReadRun(r, *run, s);
  if (const toml::table* t = r.Table(root, "vehicle")) ReadSection(r, *t, "vehicle", s);
  if (const toml::table* t = r.Table(root, "dynamics")) ReadDynamics(r, *t, s);
  s.dynamics.lengthMetres = s.vehicle.carCount * s.carLengthMetres;
  if (const toml::table* t = r.Table(root, "doors")) ReadSection(r, *t, "doors", s);
  if (const toml::table* t = r.Table(root, "driver")) ReadDriver(r, *t, s);
  if (const toml::table* t = r.Table(root, "layout")) ReadSection(r, *t, "layout", s);
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
