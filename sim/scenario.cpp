// Scenario files in TOML, read with every fault reported as file:line: key.
#include "scenario.h"

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

#include "beacon_codes.h"
#include "toml_guard.h"

namespace {

constexpr std::string_view kOverrideSource = "--set";
constexpr double kMostDecel = 20;                      // km/h/s
constexpr size_t kLargestScenario = size_t{64} << 20;  // bytes: about 1.5 million beacons

// The node's line in the file; 0 for a value set on the command line.
int LineOf(const toml::node& node) {
  const auto& source = node.source().path;
  if (source && *source == kOverrideSource) return 0;
  return static_cast<int>(node.source().begin.line);
}

// The scenario's top-level tables and arrays.
const std::vector<std::string_view> kSections = {"vehicle", "dynamics", "run",    "doors",
                                                 "beacon",  "station",  "action", "gradient",
                                                 "pause",   "driver"};

// A section's key written after another table's header belongs to that table.
std::string UnknownKey(std::string_view key, std::string_view where) {
  if (where.empty() || std::find(kSections.begin(), kSections.end(), key) == kSections.end()) {
    return "unknown key";
  }
  return fmt::format(
      "unknown key: a top-level \"{} = ...\" must stand before the first [table] header, "
      "or it belongs to [{}]",
      key, where);
}

class Reader {
 public:
  explicit Reader(std::string path) : path_(std::move(path)) {}

  [[noreturn]] void Fail(int line, std::string_view key, std::string_view message) const {
    if (line == 0) throw ScenarioError(fmt::format("{}: --set {}: {}", path_, key, message));
    throw ScenarioError(fmt::format("{}:{}: {}: {}", path_, line, key, message));
  }

  void OnlyKeys(const toml::table& table, std::string_view where,
                const std::vector<std::string_view>& allowed) const {
    for (const auto& [key, node] : table) {
      if (std::find(allowed.begin(), allowed.end(), key.str()) == allowed.end()) {
        Fail(LineOf(node), Qualified(where, key.str()), UnknownKey(key.str(), where));
      }
    }
  }

  // Fails at the key's line (the table's, when the key is absent) unless ok.
  void Expect(bool ok, const toml::table& t, std::string_view key, std::string_view where,
              std::string_view message) const {
    if (ok) return;
    const toml::node* node = t.get(key);
    Fail(LineOf(node != nullptr ? *node : t), Qualified(where, key), message);
  }

  const toml::node& Required(const toml::table& t, std::string_view key,
                             std::string_view where) const {
    const toml::node* node = t.get(key);
    if (node == nullptr) Fail(LineOf(t), Qualified(where, key), "missing");
    return *node;
  }

  double Number(const toml::table& t, std::string_view key, std::string_view where) const {
    return NumberAt(Required(t, key, where), Qualified(where, key));
  }
  double Number(const toml::table& t, std::string_view key, std::string_view where,
                double fallback) const {
    return t.contains(key) ? Number(t, key, where) : fallback;
  }
  double NumberAt(const toml::node& node, const std::string& name) const {
    std::optional<double> value = node.value_exact<double>();
    if (!value) {
      if (auto i = node.value_exact<int64_t>()) value = static_cast<double>(*i);
    }
    if (!value) Fail(LineOf(node), name, "expected a number");
    if (!std::isfinite(*value)) Fail(LineOf(node), name, "expected a finite number");
    return *value;
  }

  int32_t Int32(const toml::table& t, std::string_view key, std::string_view where) const {
    return Int32At(Required(t, key, where), Qualified(where, key));
  }
  int32_t Int32(const toml::table& t, std::string_view key, std::string_view where,
                int32_t fallback) const {
    return t.contains(key) ? Int32(t, key, where) : fallback;
  }
  int32_t Int32At(const toml::node& node, const std::string& name) const {
    const std::optional<int64_t> value = node.value_exact<int64_t>();
    if (!value) Fail(LineOf(node), name, "expected an integer");
    if (*value < std::numeric_limits<int32_t>::min() ||
        *value > std::numeric_limits<int32_t>::max()) {
      Fail(LineOf(node), name, fmt::format("{} does not fit a 32-bit integer", *value));
    }
    return static_cast<int32_t>(*value);
  }

  bool Bool(const toml::table& t, std::string_view key, std::string_view where,
            bool fallback) const {
    const toml::node* node = t.get(key);
    if (node == nullptr) return fallback;
    const std::optional<bool> value = node->value_exact<bool>();
    if (!value) Fail(LineOf(*node), Qualified(where, key), "expected true or false");
    return *value;
  }

  std::optional<std::string> String(const toml::table& t, std::string_view key,
                                    std::string_view where) const {
    const toml::node* node = t.get(key);
    if (node == nullptr) return std::nullopt;
    const std::optional<std::string> value = node->value_exact<std::string>();
    if (!value) Fail(LineOf(*node), Qualified(where, key), "expected a string");
    return value;
  }

  // "HH:MM:SS" as milliseconds of the day.
  // A number within [lo, hi], the unit named in the refusal.
  double Within(const toml::table& t, std::string_view key, std::string_view where, double fallback,
                double lo, double hi, std::string_view unit) const {
    const double value =
        std::isnan(fallback) ? Number(t, key, where) : Number(t, key, where, fallback);
    Expect(value >= lo && value <= hi, t, key, where,
           fmt::format("must lie in {} to {}{}{}", lo, hi, unit.empty() ? "" : " ", unit));
    return value;
  }

  std::optional<int32_t> TimeOfDay(const toml::table& t, std::string_view key,
                                   std::string_view where) const {
    const std::optional<std::string> text = String(t, key, where);
    if (!text) return std::nullopt;
    // Two digits a field (one for the hour), nothing else.
    const auto digits = [&](size_t at, size_t n) {
      int value = 0;
      for (size_t i = at; i < at + n; ++i) value = value * 10 + ((*text)[i] - '0');
      return value;
    };
    const size_t hour = text->size() == 8 ? 2 : 1;
    const bool shaped =
        (text->size() == 7 || text->size() == 8) &&
        std::all_of(
            text->begin(), text->end(),
            [&](char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == ':'; }) &&
        (*text)[hour] == ':' && (*text)[hour + 3] == ':' &&
        std::count(text->begin(), text->end(), ':') == 2;
    const int h = shaped ? digits(0, hour) : -1, m = shaped ? digits(hour + 1, 2) : -1,
              s = shaped ? digits(hour + 4, 2) : -1;
    if (!shaped || h > 23 || m > 59 || s > 59) {
      Fail(LineOf(*t.get(key)), Qualified(where, key),
           fmt::format("\"{}\" is not a time HH:MM:SS", *text));
    }
    return ((h * 60 + m) * 60 + s) * 1000;
  }

  const toml::array* Array(const toml::table& t, std::string_view key) const {
    const toml::node* node = t.get(key);
    if (node == nullptr) return nullptr;
    if (!node->is_array_of_tables())
      Fail(LineOf(*node), key, "expected [[" + std::string(key) + "]] tables");
    return node->as_array();
  }

  const toml::table* Table(const toml::table& t, std::string_view key) const {
    const toml::node* node = t.get(key);
    if (node == nullptr) return nullptr;
    if (!node->is_table()) Fail(LineOf(*node), key, "expected a table");
    return node->as_table();
  }

 private:
  static std::string Qualified(std::string_view where, std::string_view key) {
    return where.empty() ? std::string(key) : fmt::format("{}.{}", where, key);
  }
  std::string path_;
};

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
constexpr double kFarthest = 1e8;        // m, either way along the line
constexpr double kFastest = 300;         // km/h

void ReadRun(const Reader& r, const toml::table& t, Scenario& s) {
  r.OnlyKeys(t, "run",
             {"time_step", "time_step_jitter", "seed", "start_location", "start_time",
              "start_speed", "end_location", "max_duration", "stall_after"});
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

constexpr double kSteepestPermille = 100;
constexpr double kLongestPauseSeconds = 10;

void ReadGradients(const Reader& r, const toml::array& list, Scenario& s) {
  for (const toml::node& node : list) {
    const toml::table& t = *node.as_table();
    r.OnlyKeys(t, "gradient", {"from", "permille"});
    const Gradient g{r.Number(t, "from", "gradient"), r.Number(t, "permille", "gradient"),
                     LineOf(t)};
    r.Expect(std::fabs(g.permille) <= kSteepestPermille, t, "permille", "gradient",
             "must lie within -100 to 100 per mille");
    r.Expect(s.gradients.empty() || g.from > s.gradients.back().from, t, "from", "gradient",
             "gradients must be listed in location order");
    s.gradients.push_back(g);
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

// A named beacon's table, with the range of every field checked.
class NamedBeacon {
 public:
  NamedBeacon(const Reader& r, const toml::table& beacon) : r_(r), beacon_(beacon) {}

  ATS_BEACONDATA Read(std::string_view name) {
    const toml::node& node = *beacon_.get(name);
    where_ = fmt::format("beacon.{}", name);
    if (name == "run") {
      const toml::table& t = Table(node, {"destination", "number"});
      return Packed(kBeaconRunNumber, beacon::Pack(beacon::Run{Field(t, "destination", 0, 2147482),
                                                               Field(t, "number", 0, 999)}));
    }
    if (name == "station") {
      const toml::table& t = Table(node, {"limit", "departure"});
      const std::optional<int32_t> departure = r_.TimeOfDay(t, "departure", where_);
      r_.Expect(departure.has_value(), t, "departure", where_, "missing");
      return Packed(kBeaconStation,
                    beacon::Pack(beacon::Station{Field(t, "limit", 0, 999), *departure / 1000}));
    }
    if (name == "stopping_point") {
      const toml::table& t = Table(node, {"this", "next"});
      return Packed(kBeaconStoppingPoint, beacon::Pack(beacon::StoppingPoints{
                                              StoppingPoint(t, "this"), StoppingPoint(t, "next")}));
    }
    if (name == "braking") {
      const toml::table& t = Table(node, {"final_speed", "end", "then"});
      const int32_t then = Choice(t.get("then"), where_ + ".then", beacon::kBrakingEnds, "nothing");
      const beacon::Braking curve{then, Field(t, "final_speed", 0, 999),
                                  Field(t, "end", 0, 999999)};
      const int64_t value = beacon::Pack(curve);
      r_.Expect(
          value <= INT32_MAX, t, "final_speed", where_,
          fmt::format("then = \"{}\", {} km/h and {} m pack to {}, beyond the 32-bit value "
                      "{}: lower the final speed or the end",
                      beacon::kBrakingEnds[then], curve.finalSpeed, curve.end, value, INT32_MAX));
      return Packed(kBeaconBraking, value);
    }
    if (name == "option") return Option(node);
    const int32_t value = r_.Int32At(node, where_);
    const bool isLimit = name == "speed_limit";
    if (value < 0 || (isLimit && value > 999)) {
      r_.Fail(LineOf(node), where_, isLimit ? "must lie in 0 to 999 km/h" : "must not be negative");
    }
    const int32_t type = name == "location_code" ? kBeaconLocation
                         : isLimit               ? kBeaconSpeedLimit
                                                 : kBeaconRain;
    return {type, 0, 0, value};
  }

 private:
  const toml::table& Table(const toml::node& node, std::initializer_list<std::string_view> keys) {
    if (!node.is_table()) r_.Fail(LineOf(node), where_, "expected a table { ... }");
    r_.OnlyKeys(*node.as_table(), where_, keys);
    return *node.as_table();
  }

  int32_t Field(const toml::table& t, std::string_view key, int32_t low, int32_t high) {
    const int32_t value = r_.Int32(t, key, where_);
    r_.Expect(value >= low && value <= high, t, key, where_,
              fmt::format("must lie in {} to {}", low, high));
    return value;
  }

  int32_t StoppingPoint(const toml::table& t, std::string_view key) {
    const int32_t metres = r_.Int32(t, key, where_);
    r_.Expect(metres >= 0 && metres < beacon::kStoppingPointLimit &&
                  metres % beacon::kStoppingPointStep == 0,
              t, key, where_, "must be a multiple of 25 m below 250 km");
    return metres;
  }

  // One of the names, by its index; the fallback when the node is absent.
  template <size_t N>
  int32_t Choice(const toml::node* node, const std::string& name,
                 const std::array<const char*, N>& names, const char* fallback) {
    std::string text = fallback;
    if (node != nullptr) {
      const std::optional<std::string> value = node->value_exact<std::string>();
      if (!value) r_.Fail(LineOf(*node), name, "expected a string");
      text = *value;
    }
    for (size_t i = 0; i < N; ++i) {
      if (text == names[i]) return static_cast<int32_t>(i);
    }
    r_.Fail(LineOf(*node), name, fmt::format("\"{}\" is none of {}", text, fmt::join(names, ", ")));
  }

  ATS_BEACONDATA Option(const toml::node& node) {
    if (node.is_string()) {
      return {kBeaconDrivingOption, 0, 0, Choice(&node, where_, beacon::kOptions, "")};
    }
    const toml::table& t = Table(node, {"show_speed"});
    return {kBeaconDrivingOption, 0, 0, Field(t, "show_speed", beacon::kNeutralSection + 1, 999)};
  }

  ATS_BEACONDATA Packed(int32_t type, int64_t value) const {
    return {type, 0, 0, static_cast<int32_t>(value)};
  }

  const Reader& r_;
  const toml::table& beacon_;
  std::string where_;
};

constexpr std::string_view kBeaconNames[] = {
    "run",         "station", "location_code", "stopping_point",
    "speed_limit", "braking", "option",        "rain"};

std::vector<std::string_view> BeaconKeys() {
  std::vector<std::string_view> keys{"location", "type", "optional", "signal", "distance"};
  keys.insert(keys.end(), std::begin(kBeaconNames), std::end(kBeaconNames));
  return keys;
}

void ReadBeacons(const Reader& r, const toml::array& list, Scenario& s) {
  static const std::vector<std::string_view> keys = BeaconKeys();
  double last = -std::numeric_limits<double>::infinity();
  for (const toml::node& node : list) {
    const toml::table& t = *node.as_table();
    r.OnlyKeys(t, "beacon", keys);
    RouteBeacon b{
        r.Within(t, "location", "beacon", NAN, -kFarthest, kFarthest, "m"), {}, LineOf(t)};
    std::vector<std::string_view> named;
    for (std::string_view name : kBeaconNames) {
      if (t.contains(name)) named.push_back(name);
    }
    if (named.size() + t.contains("type") != 1) {
      r.Fail(b.line, "beacon",
             fmt::format("give either type and optional or exactly one of {} or {}",
                         fmt::join(std::begin(kBeaconNames), std::end(kBeaconNames) - 1, ", "),
                         kBeaconNames[std::size(kBeaconNames) - 1]));
    }
    if (named.empty()) {
      b.data.type = r.Int32(t, "type", "beacon");
      r.Expect(b.data.type >= kBeaconRunNumber && b.data.type <= kBeaconRain, t, "type", "beacon",
               fmt::format("unknown beacon type {} (11 to 18)", b.data.type));
      b.data.optional = r.Int32(t, "optional", "beacon");
    } else {
      r.Expect(!t.contains("optional"), t, "optional", "beacon",
               "a named beacon packs its own optional value");
      b.data = NamedBeacon(r, t).Read(named.front());
    }
    b.data.signal = r.Int32(t, "signal", "beacon", 0);
    b.data.distance = static_cast<float>(r.Within(t, "distance", "beacon", 0, -1e6, 1e6, "m"));
    if (b.location < last)
      r.Fail(b.line, "beacon.location", "beacons must be listed in location order");
    last = b.location;
    s.beacons.push_back(b);
  }
}

void ReadStations(const Reader& r, const toml::array& list, Scenario& s) {
  for (const toml::node& node : list) {
    const toml::table& t = *node.as_table();
    r.OnlyKeys(t, "station", {"name", "stop", "door_side", "departure"});
    Station st{r.String(t, "name", "station").value_or(""),
               r.Within(t, "stop", "station", NAN, -kFarthest, kFarthest, "m"),
               r.Int32(t, "door_side", "station", -1), r.TimeOfDay(t, "departure", "station"),
               LineOf(t)};
    if (st.doorSide < -1 || st.doorSide > 1)
      r.Fail(st.line, "station.door_side", "must be -1, 0 or 1");
    if (!s.stations.empty() && st.stop <= s.stations.back().stop) {
      r.Fail(st.line, "station.stop", "stations must be listed in location order");
    }
    if (st.name.empty()) st.name = fmt::format("station {}", s.stations.size() + 1);
    s.stations.push_back(st);
  }
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
  const Reader r(path);
  const TomlShape shape = CheckTomlShape(text);
  if (shape.fault) r.Fail(shape.fault->line, "syntax", shape.fault->message);
  toml::table root;
  try {
    if (shape.masked) toml::parse(*shape.masked, path);  // the same faults at the same places
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
  if (const toml::array* a = r.Array(root, "beacon")) ReadBeacons(r, *a, s);
  if (const toml::array* a = r.Array(root, "station")) ReadStations(r, *a, s);
  if (const toml::array* a = r.Array(root, "action")) ReadTimeline(r, *a, s);
  if (const toml::array* a = r.Array(root, "gradient")) ReadGradients(r, *a, s);
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
