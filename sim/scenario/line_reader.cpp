// The line in a scenario file: its gradients, stations and beacons.
#include "scenario/line_reader.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>

#include "model/beacon_codes.h"

namespace {

constexpr int32_t kDayMs = 86400000;
constexpr int32_t kLatestDepartureMs = 99999000;  // a station beacon's five digits of seconds

// A departure "HH:MM:SS" in ms from the midnight before the run's start:
// a time of day more than half a day before the start is the next day's.
std::optional<int32_t> Departure(const Reader& r, const toml::table& t, std::string_view where,
                                 int32_t startMs) {
  std::optional<int32_t> ms = r.TimeOfDay(t, "departure", where);
  if (ms && *ms < startMs - kDayMs / 2) *ms += kDayMs;
  r.Expect(!ms || *ms <= kLatestDepartureMs, t, "departure", where,
           "is the next day, later than a station beacon gives (27:46:39 from the midnight "
           "before the run's start)");
  return ms;
}

// A name is printed to terminals: no control character may steer them,
// whether of ASCII, of the 8-bit set (U+0080 to U+009F) or one that turns
// the text's direction (U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069).
bool HoldsControls(std::string_view name) {
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    const auto next = [&](size_t n) {
      return i + n < name.size() ? static_cast<unsigned char>(name[i + n]) : 0;
    };
    if (c < 0x20 || c == 0x7f) return true;
    if (c == 0xc2 && next(1) >= 0x80 && next(1) <= 0x9f) return true;
    if (c == 0xe2 && next(1) == 0x80 &&
        (next(2) == 0x8e || next(2) == 0x8f || (next(2) >= 0xaa && next(2) <= 0xae)))
      return true;
    if (c == 0xe2 && next(1) == 0x81 && next(2) >= 0xa6 && next(2) <= 0xa9) return true;
  }
  return false;
}

void ReadGradients(const Reader& r, const toml::array& list, Scenario& s) {
  const std::vector<std::string_view> keys = KeyNames("gradient");
  const ScenarioKey &from = KeyOf("gradient", "from"), &permille = KeyOf("gradient", "permille");
  for (const toml::node& node : list) {
    const toml::table& t = *node.as_table();
    r.OnlyKeys(t, "gradient", keys);
    const Gradient g{r.Within(t, from), r.Within(t, permille), LineOf(t)};
    r.Expect(s.gradients.empty() || g.from > s.gradients.back().from, t, "from", "gradient",
             "gradients must be listed in location order, each from a location of its own");
    s.gradients.push_back(g);
  }
}

void ReadLimits(const Reader& r, const toml::array& list, Scenario& s) {
  const std::vector<std::string_view> keys = KeyNames("limit");
  const ScenarioKey &from = KeyOf("limit", "from"), &speed = KeyOf("limit", "speed");
  for (const toml::node& node : list) {
    const toml::table& t = *node.as_table();
    r.OnlyKeys(t, "limit", keys);
    const LineLimit l{r.Within(t, from), r.Within(t, speed), LineOf(t)};
    r.Expect(s.limits.empty() || l.from > s.limits.back().from, t, "from", "limit",
             "limits must be listed in location order, each from a location of its own");
    s.limits.push_back(l);
  }
}

// A named beacon's table, with the range of every field checked.
class NamedBeacon {
 public:
  NamedBeacon(const Reader& r, const toml::table& beacon, const Scenario& s, double location)
      : r_(r), beacon_(beacon), s_(s), location_(location) {}

  ATS_BEACONDATA Read(std::string_view name) {
    const toml::node& node = *beacon_.get(name);
    where_ = fmt::format("beacon.{}", name);
    if (name == "run") {
      const toml::table& t = Table(node, {"destination", "number"});
      return Packed(kBeaconRunNumber, beacon::Pack(beacon::Run{Field(t, "destination", 0, 2147482),
                                                               Field(t, "number", 0, 999)}));
    }
    if (name == "station") return StationBeacon(node);
    if (name == "stopping_point") {
      if (node.is_string()) return StoppingPointOf(node);
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
    const ScenarioKey& k = KeyOf("beacon", name);
    if (!Admits(k, value)) r_.Fail(LineOf(node), where_, Refusal(k));
    const int32_t type = name == "location_code" ? kBeaconLocation
                         : name == "speed_limit" ? kBeaconSpeedLimit
                                                 : kBeaconRain;
    return {type, 0, 0, value};
  }

 private:
  // By the station's name, its departure from [[station]] and its limit the
  // line's there unless given; or by its limit and departure.
  ATS_BEACONDATA StationBeacon(const toml::node& node) {
    if (node.is_string()) return StationNamed(node, node, std::nullopt);
    const toml::table& t = Table(node, {"name", "limit", "departure"});
    std::optional<int32_t> limit;
    if (t.contains("limit")) limit = Field(t, "limit", 0, 999);
    if (const toml::node* name = t.get("name")) {
      r_.Expect(!t.contains("departure"), t, "departure", where_,
                "a station named takes its departure from its [[station]]");
      return StationNamed(*name, node, limit);
    }
    const std::optional<int32_t> departure = Departure(r_, t, where_, s_.startTimeMs);
    r_.Expect(departure.has_value(), t, "departure", where_, "missing");
    r_.Expect(limit.has_value(), t, "limit", where_, "missing");
    return Packed(kBeaconStation, beacon::Pack(beacon::Station{*limit, *departure / 1000}));
  }

  ATS_BEACONDATA StationNamed(const toml::node& name, const toml::node& node,
                              std::optional<int32_t> limit) {
    const Station& st = *Named(name);
    if (!st.departureMs) {
      r_.Fail(LineOf(name), where_,
              fmt::format("station \"{}\" (line {}) has no departure to give", st.name, st.line));
    }
    if (!limit) {
      const LineLimit* line = LimitAt(s_.limits, location_);
      if (line == nullptr) {
        r_.Fail(LineOf(node), where_,
                fmt::format("no [[limit]] holds at {} m to give the limit: name one, "
                            "station = {{ name = \"{}\", limit = ... }}",
                            location_, st.name));
      }
      limit = static_cast<int32_t>(line->kmh);
    }
    return Packed(kBeaconStation, beacon::Pack(beacon::Station{*limit, *st.departureMs / 1000}));
  }

  // This station's stop, then the following station's.
  ATS_BEACONDATA StoppingPointOf(const toml::node& name) {
    const Station* st = Named(name);
    const size_t next = static_cast<size_t>(st - s_.stations.data()) + 1;
    // After the last the next is its own: a stop behind the train is an overrun.
    const Station* following = next < s_.stations.size() ? &s_.stations[next] : st;
    const auto metres = [&](const Station* at) {
      if (std::fmod(at->stop, beacon::kStoppingPointStep) != 0 || at->stop < 0 ||
          at->stop >= beacon::kStoppingPointLimit) {
        r_.Fail(LineOf(name), where_,
                fmt::format("station \"{}\" stops at {} m (line {}): a stopping-point beacon "
                            "gives only multiples of 25 m below 250 km",
                            at->name, at->stop, at->line));
      }
      return static_cast<int32_t>(at->stop);
    };
    return Packed(kBeaconStoppingPoint,
                  beacon::Pack(beacon::StoppingPoints{metres(st), metres(following)}));
  }

  // The one [[station]] of that name.
  const Station* Named(const toml::node& name) {
    const std::optional<std::string> text = name.value_exact<std::string>();
    if (!text) r_.Fail(LineOf(name), where_ + ".name", "expected a string");
    const Station* found = nullptr;
    for (const Station& st : s_.stations) {
      if (st.name != *text) continue;
      if (found != nullptr) {
        r_.Fail(LineOf(name), where_,
                fmt::format("stations at lines {} and {} are both named \"{}\"", found->line,
                            st.line, *text));
      }
      found = &st;
    }
    if (found == nullptr) {
      r_.Fail(LineOf(name), where_, fmt::format("no [[station]] is named \"{}\"", *text));
    }
    return found;
  }

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
    return {kBeaconDrivingOption, 0, 0,
            Field(t, "show_speed", beacon::kNeutralSection + 1, beacon::kFastestShown)};
  }

  ATS_BEACONDATA Packed(int32_t type, int64_t value) const {
    return {type, 0, 0, static_cast<int32_t>(value)};
  }

  const Reader& r_;
  const toml::table& beacon_;
  const Scenario& s_;
  double location_;
  std::string where_;
};

constexpr std::string_view kBeaconNames[] = {
    "run",         "station", "location_code", "stopping_point",
    "speed_limit", "braking", "option",        "rain"};

void ReadBeacons(const Reader& r, const toml::array& list, Scenario& s) {
  const std::vector<std::string_view> keys = KeyNames("beacon");
  const ScenarioKey &location = KeyOf("beacon", "location"),
                    &distance = KeyOf("beacon", "distance");
  double last = -std::numeric_limits<double>::infinity();
  for (const toml::node& node : list) {
    const toml::table& t = *node.as_table();
    r.OnlyKeys(t, "beacon", keys);
    RouteBeacon b{r.Within(t, location), {}, LineOf(t)};
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
      b.data = NamedBeacon(r, t, s, b.location).Read(named.front());
    }
    b.data.signal = r.Int32(t, "signal", "beacon", 0);
    b.data.distance = static_cast<float>(r.Within(t, distance, 0));
    if (b.location < last)
      r.Fail(b.line, "beacon.location", "beacons must be listed in location order");
    last = b.location;
    s.beacons.push_back(b);
  }
}

void ReadStations(const Reader& r, const toml::array& list, Scenario& s) {
  const std::vector<std::string_view> keys = KeyNames("station");
  const ScenarioKey& stop = KeyOf("station", "stop");
  for (const toml::node& node : list) {
    const toml::table& t = *node.as_table();
    r.OnlyKeys(t, "station", keys);
    Station st{r.String(t, "name", "station").value_or(""), r.Within(t, stop),
               r.Int32(t, "door_side", "station", -1), Departure(r, t, "station", s.startTimeMs),
               LineOf(t)};
    if (HoldsControls(st.name))
      r.Fail(st.line, "station.name",
             "must not hold control characters (tabs, line breaks, escapes, text direction)");
    if (!st.name.empty() && st.name.find_first_not_of(' ') == std::string::npos)
      r.Fail(st.line, "station.name", "must not be blank");
    if (st.doorSide < -1 || st.doorSide > 1)
      r.Fail(st.line, "station.door_side", "must be -1, 0 or 1");
    if (!s.stations.empty() && st.stop <= s.stations.back().stop) {
      r.Fail(st.line, "station.stop", "stations must be listed in location order");
    }
    if (st.name.empty()) st.name = fmt::format("station {}", s.stations.size() + 1);
    s.stations.push_back(st);
  }
}

}  // namespace

void ReadLine(const Reader& r, const toml::table& root, Scenario& s) {
  if (const toml::array* a = r.Array(root, "gradient")) ReadGradients(r, *a, s);
  if (const toml::array* a = r.Array(root, "limit")) ReadLimits(r, *a, s);
  if (const toml::array* a = r.Array(root, "station")) ReadStations(r, *a, s);
  if (const toml::array* a = r.Array(root, "beacon")) ReadBeacons(r, *a, s);
}
