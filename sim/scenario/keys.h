// Every key of a scenario file, once: its section, type, range, default,
// unit, whether a sweep may vary it and what it means. The reader, the sweep
// and the key reference (scenario/key_reference.h) all come from this table.
#pragma once

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

struct Scenario;

// A top-level table, or array of tables, of the file.
struct KeySection {
  std::string_view name;
  bool array;           // [[name]]: a table each
  const char* meaning;  // what it holds, for the reference
};

enum class KeyType { Number, Integer, Flag, Other };
// Which ends of a numeric range are excluded.
enum class OpenEnd { None, Low, High };

// Where a key sits in a Scenario, as a number: read for its default, set by
// the reader and by a sweep.
struct KeySlot {
  double (*get)(const Scenario&);
  void (*set)(Scenario&, double);
};

struct ScenarioKey {
  std::string_view section, name;
  KeyType type;
  const char* meaning;
  const char* typeWords = nullptr;  // for KeyType::Other
  // Numbers (and each number of a list) lie in [low, high]; either end may be
  // open or infinite.
  double low = -INFINITY, high = INFINITY;
  OpenEnd open = OpenEnd::None;
  const char* unit = "";
  const char* rangeWords = nullptr;    // where the numbers cannot say it
  const char* defaultWords = nullptr;  // where the Scenario's default cannot say it
  bool required = false;
  bool sweep = false;  // a sweep may vary it, by its name
  KeySlot slot{nullptr, nullptr};

  // Read with its range checked by the reader's loop over a section: a number,
  // integer or flag with a slot whose range the numbers say.
  bool Plain() const {
    return slot.set != nullptr && rangeWords == nullptr && type != KeyType::Other;
  }
};

// A constant table's rows.
template <typename Row>
struct Rows {
  const Row* first;
  const Row* last;
  const Row* begin() const { return first; }
  const Row* end() const { return last; }
};

// The sections, in the reference's order.
extern const Rows<KeySection> kKeySections;
// Every key; those a sweep may vary in the order of its axes.
extern const Rows<ScenarioKey> kScenarioKeys;

// The names a section allows.
std::vector<std::string_view> KeyNames(std::string_view section);
// The key of that section and name, which must exist.
const ScenarioKey& KeyOf(std::string_view section, std::string_view name);
// The key a sweep varies by that name, or null.
const ScenarioKey* SweptKey(std::string_view name);

// Whether the value lies in the key's range (and is whole, for an integer).
bool Admits(const ScenarioKey& k, double value);
// "0 to 10", "[0, 1)", "at least 1", "not negative", "any".
std::string RangeText(const ScenarioKey& k);
// "0 to 10 s".
std::string RangeAndUnit(const ScenarioKey& k);
// What a value outside the range is told: "must lie in 0 to 10 s".
std::string Refusal(const ScenarioKey& k);
