// The table of scenario keys, and how their ranges read.
#include "scenario/keys.h"

#include <fmt/format.h>

#include <iterator>
#include <stdexcept>
#include <type_traits>

#include "scenario/scenario.h"

namespace {

constexpr double kFarthest = 1e8;  // m, either way along the line
constexpr double kFastest = 300;   // km/h
constexpr double kLongestRunSeconds = 7 * 24 * 3600;
constexpr double kShortestStep = 0.001;  // s: at most a billion frames in the longest run

// A row of the table, built up by its modifiers.
struct Key : ScenarioKey {
  // One field set; defined before its callers, for clang's constant evaluation.
  template <typename T>
  constexpr Key With(T ScenarioKey::*field, T value) const {
    Key k = *this;
    k.*field = value;
    return k;
  }

  constexpr Key(std::string_view section, std::string_view name, KeyType type, const char* meaning)
      : ScenarioKey{section, name, type, meaning} {}

  constexpr Key In(double lo, double hi, const char* u = "", OpenEnd o = OpenEnd::None) const {
    Key k = *this;
    k.low = lo;
    k.high = hi;
    k.unit = u;
    k.open = o;
    return k;
  }
  constexpr Key AtLeast(double lo) const { return In(lo, INFINITY); }
  constexpr Key Unit(const char* u) const { return With(&Key::unit, u); }
  constexpr Key Sets(KeySlot s) const { return With(&Key::slot, s); }
  constexpr Key Swept() const { return With(&Key::sweep, true); }
  constexpr Key Required() const { return With(&Key::required, true); }
  constexpr Key Range(const char* words) const { return With(&Key::rangeWords, words); }
  constexpr Key Default(const char* words) const { return With(&Key::defaultWords, words); }
};

constexpr Key Number(std::string_view section, std::string_view name, const char* meaning) {
  return Key(section, name, KeyType::Number, meaning);
}
constexpr Key Integer(std::string_view section, std::string_view name, const char* meaning) {
  return Key(section, name, KeyType::Integer, meaning);
}
constexpr Key Flag(std::string_view section, std::string_view name, const char* meaning) {
  return Key(section, name, KeyType::Flag, meaning);
}
constexpr Key Other(std::string_view section, std::string_view name, const char* type,
                    const char* meaning) {
  Key k(section, name, KeyType::Other, meaning);
  k.typeWords = type;
  return k;
}

// The table keeps its own layout.
// clang-format off

// The field at the end of a path of members: At<&Scenario::doors, &DoorBehaviour::window>.
template <auto... Path>
constexpr KeySlot At() {
  return {[](const Scenario& s) { return static_cast<double>((s .* ... .* Path)); },
          [](Scenario& s, double v) {
            auto& field = (s .* ... .* Path);
            field = static_cast<std::remove_reference_t<decltype(field)>>(v);
          }};
}
template <auto F> constexpr KeySlot Vehicle() { return At<&Scenario::vehicle, F>(); }
template <auto F> constexpr KeySlot Dyn() { return At<&Scenario::dynamics, F>(); }
template <auto F> constexpr KeySlot Doors() { return At<&Scenario::doors, F>(); }
template <auto F> constexpr KeySlot Driver() { return At<&Scenario::driver, F>(); }
template <auto F> constexpr KeySlot Layout() { return At<&Scenario::layout, F>(); }

// A sweep's factors, 1 as the file has it.
constexpr KeySlot kBrakeScale{[](const Scenario&) { return 1.0; },
                              [](Scenario& s, double v) {
                                for (double& decel : s.dynamics.decelByNotch) decel *= v;
                              }};
constexpr KeySlot kAccelScale{[](const Scenario&) { return 1.0; },
                              [](Scenario& s, double v) { s.dynamics.accelPerNotch *= v; }};
// Dry and wet alike; wet_adhesion, read after it, sets the wet apart.
constexpr KeySlot kAdhesion{
    [](const Scenario& s) { return s.dynamics.adhesion; },
    [](Scenario& s, double v) { s.dynamics.adhesion = s.dynamics.wetAdhesion = v; }};

const KeySection kSections[] = {
    {"run", false, "Required, with at least `end_location`."},
    {"vehicle", false, "The train as the host describes it to the plug-in, and its cars."},
    {"dynamics", false, "How the train moves: see *The train model*."},
    {"doors", false,
     "The host's doors and start key at platforms. Doors an action works at a platform count as "
     "the stop's, for the dwell and the start key."},
    {"driver", false, "Who drives, and how: see *Driving by hand*."},
    {"layout", false, "How `layout` may lay the line out."},
    {"sweep", false,
     "For `sweep`: each key a list `[a, b, …]` or `{ from, to, steps }` (both ends, evenly "
     "spaced); every combination is run, at most 100,000."},
    {"station", true, "A platform; in location order."},
    {"beacon", true,
     "A beacon: `location`, then one named beacon (see *Beacons by name*) or `type` and "
     "`optional`; in location order."},
    {"limit", true,
     "The line's own limits (line speed, curves, crossovers) as the track has them; in location "
     "order, each holds until the next, none before the first."},
    {"gradient", true, "In location order, each holds until the next, level before the first."},
    {"action", true,
     "A scripted move at `time` or at `location`: one of `key`, `power`, `brake`, `reverser` or "
     "`doors`."},
    {"pause", true, "One frame in which the host stops calling, as while it loads scenery."},
};

// The sweep's own factors come first, then the keys a sweep may vary in
// the order of its axes: the order of a sweep's combinations and columns.
constexpr ScenarioKey kKeys[] = {
    Number("sweep", "brake_scale", "every notch's deceleration times this")
        .In(0.1, 10, "(times decel_by_notch)").Sets(kBrakeScale).Swept(),
    Number("sweep", "accel_scale", "the traction times this")
        .In(0.1, 10, "(times accel_per_notch)").Sets(kAccelScale).Swept(),

    Integer("vehicle", "brake_notches", "brake notches, the emergency brake not counted")
        .In(1, 255).Sets(Vehicle<&ATS_VEHICLESPEC::brakeNotchCount>()),
    Integer("vehicle", "power_notches", "power notches")
        .In(1, 255).Sets(Vehicle<&ATS_VEHICLESPEC::powerNotchCount>()),
    Integer("vehicle", "ats_notch", "the brake notch the host names for the ATS check")
        .Sets(Vehicle<&ATS_VEHICLESPEC::atsCheckNotch>()),
    Integer("vehicle", "b67_notch", "the brake notch the host names as B67")
        .Sets(Vehicle<&ATS_VEHICLESPEC::b67Notch>()),
    Integer("vehicle", "cars", "cars in the train; the cab shows one less")
        .In(1, 100).Sets(Vehicle<&ATS_VEHICLESPEC::carCount>()),
    Number("vehicle", "car_length", "the length of a car")
        .In(1, 100, "m").Sets(At<&Scenario::carLengthMetres>()),
    Number("vehicle", "load", "how full this run's train is")
        .In(0, 1, "(empty to full)").Sets(Dyn<&Dynamics::load>()).Swept(),

    Number("dynamics", "accel_per_notch", "traction per power notch, of the empty train")
        .In(0, 10, "km/h/s").Sets(Dyn<&Dynamics::accelPerNotch>()),
    Number("dynamics", "base_speed", "above it traction falls as `base_speed` / v (constant power)")
        .In(1, 300, "km/h").Sets(Dyn<&Dynamics::baseSpeed>()),
    Other("dynamics", "decel_by_notch", "10 numbers",
          "the deceleration of brake notches 0 to 9 at any load; 9 is the emergency brake")
        .In(0, 20, "km/h/s").Default("0, 0.4, 0.8, 1.2, 1.6, 2, 2.6, 3.2, 3.8, 4.5"),
    Number("dynamics", "resistance", "running resistance A, of A + B·v + C·v²")
        .In(0, 10, "km/h/s").Sets(Dyn<&Dynamics::resistance>()),
    Number("dynamics", "resistance_linear", "running resistance B")
        .In(0, 0.1, "km/h/s per km/h").Sets(Dyn<&Dynamics::resistanceLinear>()),
    Number("dynamics", "resistance_quadratic", "running resistance C")
        .In(0, 0.001, "km/h/s per (km/h)²").Sets(Dyn<&Dynamics::resistanceQuadratic>()),
    Number("dynamics", "adhesion",
           "the most the wheels transmit, dry; wet too unless `wet_adhesion` is given, or swept")
        .In(0.01, 1, "(a share of g)").Sets(kAdhesion).Swept(),
    Number("dynamics", "wet_adhesion", "the same while it rains")
        .In(0.01, 1, "(a share of g)").Sets(Dyn<&Dynamics::wetAdhesion>()).Default("as `adhesion`"),
    Number("dynamics", "brake_delay", "dead time before a brake change acts")
        .In(0, 5, "s").Sets(Dyn<&Dynamics::brakeDelaySeconds>()).Swept(),
    Number("dynamics", "power_delay", "dead time before a power change acts")
        .In(0, 5, "s").Sets(Dyn<&Dynamics::powerDelaySeconds>()),
    Number("dynamics", "lag", "the first-order lag of the notch response, after the dead time")
        .In(0, 10, "s").Sets(Dyn<&Dynamics::lagSeconds>()).Swept(),
    Number("dynamics", "load_mass", "what a full load adds to the mass")
        .In(0, 2, "(a share of the empty mass)").Sets(Dyn<&Dynamics::loadMass>()),

    Number("run", "time_step", "the host's frame")
        .In(kShortestStep, 1, "s").Sets(At<&Scenario::timeStep>()).Swept(),
    Number("run", "time_step_jitter", "each frame drawn from `time_step` × [1 − j, 1 + j]")
        .In(0, 1, "", OpenEnd::High).Sets(At<&Scenario::timeStepJitter>()).Swept(),
    Integer("run", "seed", "of the frames' draw: the same seed, the same frames")
        .In(0, 9007199254740991.0).Range("0 to 9007199254740991")
        .Sets(At<&Scenario::seed>()).Swept(),
    Number("run", "start_location", "where the train's front starts")
        .In(-kFarthest, kFarthest, "m").Sets(At<&Scenario::startLocation>()),
    Other("run", "start_time", "\"HH:MM:SS\"", "the time of day at the start")
        .Default("\"00:00:00\""),
    Number("run", "start_speed", "the speed at the start")
        .In(-kFastest, kFastest, "km/h").Sets(At<&Scenario::startSpeed>()),
    Number("run", "end_location", "the run ends here; beyond `start_location`")
        .In(-kFarthest, kFarthest, "m").Sets(At<&Scenario::endLocation>()).Required(),
    Number("run", "max_duration", "the run ends after this long")
        .In(0, kLongestRunSeconds, "s", OpenEnd::Low).Sets(At<&Scenario::maxSeconds>()),
    Number("run", "stall_after", "standing this long with nothing pending ends the run")
        .In(0.001, kLongestRunSeconds, "s").Sets(At<&Scenario::stallAfterSeconds>()),
    Number("run", "overspeed_margin", "how far above a `[[limit]]` the train may run unreported")
        .In(0, kFastest, "km/h").Sets(At<&Scenario::overspeedMarginKmh>()),

    Flag("doors", "automatic", "open at a stop within `window` of a platform, close after `dwell`")
        .Sets(Doors<&DoorBehaviour::automatic>()),
    Number("doors", "dwell", "how long the doors stay open")
        .In(0, 86400, "s").Sets(Doors<&DoorBehaviour::dwellSeconds>()),
    Number("doors", "window", "the doors' reach either side of the stopping point")
        .In(0, 50, "m").Sets(Doors<&DoorBehaviour::window>()),
    Flag("doors", "start_key", "press the start key once the cab shows \"ready to depart\"")
        .Sets(Doors<&DoorBehaviour::startKey>()),
    Number("doors", "start_delay", "after the doors close")
        .In(0, 3600, "s").Sets(Doors<&DoorBehaviour::startDelaySeconds>()),
    Flag("doors", "correct_short_stops", "close up a stop short of the doors' reach, by start key")
        .Sets(Doors<&DoorBehaviour::correctShortStops>()),

    Flag("layout", "allow_other_side",
         "a station may get a location code of the other door side, where only one docks")
        .Sets(Layout<&LayoutSettings::allowOtherSide>()),

    Other("driver", "mode", "string", "the mode the run starts in; the last three drive by hand")
        .Range("\"automatic\", \"unattended\", \"supervised\", \"restricted\", \"reverse\"")
        .Default("\"automatic\""),
    Number("driver", "reaction", "how often the driver looks at the cab and moves the handles")
        .In(0, 5, "s").Sets(Driver<&DriverStyle::reactionSeconds>()),
    Number("driver", "margin", "held below the target speed; negative runs over it")
        .Unit("km/h").Sets(Driver<&DriverStyle::margin>()),
    Number("driver", "brake_early", "how far ahead a falling target is anticipated")
        .AtLeast(0).Unit("s").Sets(Driver<&DriverStyle::brakeEarlySeconds>()),
    Integer("driver", "power_notch", "the notch he powers with")
        .Range("1 to `power_notches`").Sets(Driver<&DriverStyle::powerNotch>()),
    Integer("driver", "brake_notch", "the strongest notch he slows down with")
        .In(1, 8).Sets(Driver<&DriverStyle::brakeNotch>()),

    Other("station", "name", "string", "for the summary, and for beacons that name it")
        .Default("\"station N\""),
    Number("station", "stop", "the stopping point").In(-kFarthest, kFarthest, "m").Required(),
    Integer("station", "door_side", "the side the doors open on: left, none, right")
        .Range("-1, 0 or 1").Default("-1"),
    Other("station", "departure", "\"HH:MM:SS\"", "the timetable's, for the summary"),

    Number("beacon", "location", "where it lies").In(-kFarthest, kFarthest, "m").Required(),
    Integer("beacon", "type", "a raw beacon's type, with `optional`").Range("11 to 18"),
    Integer("beacon", "optional", "a raw beacon's value"),
    Integer("beacon", "signal", "the signal aspect the host passes").Default("0"),
    Number("beacon", "distance", "to the signal the host passes").In(-1e6, 1e6, "m").Default("0"),
    Other("beacon", "run", "{ destination, number }", "run number (type 11)"),
    Other("beacon", "station", "string or table", "station: departure and limit (type 12)"),
    Integer("beacon", "location_code", "braking style, door side, driving state (type 13)")
        .AtLeast(0),
    Other("beacon", "stopping_point", "string or { this, next }", "this stop, the next (type 14)"),
    Integer("beacon", "speed_limit", "the limit from here (type 15)").In(0, 999, "km/h"),
    Other("beacon", "braking", "{ final_speed, end, then }", "a braking curve (type 16)"),
    Other("beacon", "option", "string or { show_speed }", "a driving option (type 17)"),
    Integer("beacon", "rain", "the rain's intensity, 0 when it stops (type 18)").AtLeast(0),

    Number("limit", "from", "where it starts").In(-kFarthest, kFarthest, "m").Required(),
    Number("limit", "speed", "the limit").In(1, 999, "km/h").Required(),

    Number("gradient", "from", "where it starts").In(-kFarthest, kFarthest, "m").Required(),
    Number("gradient", "permille", "positive rising in the running direction")
        .In(-100, 100, "‰").Required(),

    Number("action", "time", "from the start; or `location`").In(0, kLongestRunSeconds, "s"),
    Number("action", "location", "when the train's front reaches it; or `time`")
        .In(-kFarthest, kFarthest, "m"),
    Integer("action", "key", "a key pressed and released").In(0, 15),
    Integer("action", "power", "the power handle").Range("0 to `power_notches`"),
    Integer("action", "brake", "the brake handle; the last is the emergency brake")
        .Range("0 to `brake_notches` + 1"),
    Integer("action", "reverser", "backward, neutral, forward").In(-1, 1),
    Other("action", "doors", "string", "the doors worked by hand").Range("\"open\" or \"close\""),

    Number("pause", "time", "from the start").AtLeast(0).Unit("s").Required(),
    Number("pause", "duration", "how long the frame lasts").In(0, 10, "s", OpenEnd::Low).Required(),
};
// clang-format on

std::string Bound(double x) { return fmt::format("{}", x); }

}  // namespace

const Rows<KeySection> kKeySections{std::begin(kSections), std::end(kSections)};
const Rows<ScenarioKey> kScenarioKeys{std::begin(kKeys), std::end(kKeys)};

std::vector<std::string_view> KeyNames(std::string_view section) {
  std::vector<std::string_view> names;
  for (const ScenarioKey& k : kScenarioKeys) {
    if (k.section == section) names.push_back(k.name);
  }
  return names;
}

const ScenarioKey& KeyOf(std::string_view section, std::string_view name) {
  for (const ScenarioKey& k : kScenarioKeys) {
    if (k.section == section && k.name == name) return k;
  }
  throw std::logic_error(fmt::format("{}.{} is no scenario key", section, name));
}

const ScenarioKey* SweptKey(std::string_view name) {
  for (const ScenarioKey& k : kScenarioKeys) {
    if (k.sweep && k.name == name) return &k;
  }
  return nullptr;
}

bool Admits(const ScenarioKey& k, double value) {
  if (k.type == KeyType::Integer && value != std::floor(value)) return false;
  const bool above = k.open == OpenEnd::Low ? value > k.low : value >= k.low;
  const bool below = k.open == OpenEnd::High ? value < k.high : value <= k.high;
  return above && below;
}

std::string RangeText(const ScenarioKey& k) {
  if (k.rangeWords != nullptr) return k.rangeWords;
  if (std::isinf(k.low)) return k.type == KeyType::Flag || k.type == KeyType::Other ? "" : "any";
  if (std::isinf(k.high)) return k.low == 0 ? "not negative" : "at least " + Bound(k.low);
  if (k.open == OpenEnd::Low) return fmt::format("({}, {}]", k.low, k.high);
  if (k.open == OpenEnd::High) return fmt::format("[{}, {})", k.low, k.high);
  return fmt::format("{} to {}", k.low, k.high);
}

std::string RangeAndUnit(const ScenarioKey& k) {
  return fmt::format("{}{}{}", RangeText(k), *k.unit ? " " : "", k.unit);
}

std::string Refusal(const ScenarioKey& k) {
  if (!std::isinf(k.high)) return "must lie in " + RangeAndUnit(k);
  return k.low == 0 ? "must not be negative" : "must be at least " + Bound(k.low);
}
