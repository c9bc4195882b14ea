// Reading TOML tables with every fault reported as file:line: key: message.
#pragma once

#include <fmt/format.h>
#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scenario/keys.h"
#include "scenario/scenario_error.h"

// Values set on the command line come from this source.
constexpr std::string_view kOverrideSource = "--set";
// The largest whole number a double holds exactly: 2^53 - 1.
constexpr int64_t kExactWhole = 9007199254740991;

// The node's line in the file; 0 for a value set on the command line.
inline int LineOf(const toml::node& node) {
  const auto& source = node.source().path;
  if (source && *source == kOverrideSource) return 0;
  return static_cast<int>(node.source().begin.line);
}

class Reader {
 public:
  // The sections: top-level keys, named when one is found inside a table.
  Reader(std::string path, std::vector<std::string_view> sections)
      : path_(std::move(path)), sections_(std::move(sections)) {}

  [[noreturn]] void Fail(int line, std::string_view key, std::string_view message) const {
    throw ScenarioError(Located(line, key, message));
  }

  // "file:12: key: message", or "file: --set key: message" for a value set
  // on the command line.
  std::string Located(int line, std::string_view key, std::string_view message) const {
    if (line == 0) return fmt::format("{}: --set {}: {}", path_, key, message);
    return fmt::format("{}:{}: {}: {}", path_, line, key, message);
  }

  // Every unknown key of the table at once, in the file's order.
  void OnlyKeys(const toml::table& table, std::string_view where,
                const std::vector<std::string_view>& allowed) const {
    std::vector<std::pair<int, std::string>> unknown;
    for (const auto& [key, node] : table) {
      if (std::find(allowed.begin(), allowed.end(), key.str()) == allowed.end()) {
        unknown.emplace_back(LineOf(node), std::string(key.str()));
      }
    }
    if (unknown.empty()) return;
    std::sort(unknown.begin(), unknown.end());
    std::string faults;
    for (size_t i = 1; i < unknown.size(); ++i) {
      const auto& [line, key] = unknown[i];
      faults += "\n" + Located(line, Qualified(where, key), UnknownKey(key, where));
    }
    const auto& [line, key] = unknown.front();
    Fail(line, Qualified(where, key), UnknownKey(key, where) + faults);
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
      if (auto i = node.value_exact<int64_t>()) {
        if (*i > kExactWhole || *i < -kExactWhole) {
          Fail(LineOf(node), name,
               fmt::format("{} is outside -{} to {}, the whole numbers held exactly", *i,
                           kExactWhole, kExactWhole));
        }
        value = static_cast<double>(*i);
      }
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

  // A key of the table, its range checked; the fallback when it is absent,
  // unless that is NaN: then the key is required.
  double Within(const toml::table& t, const ScenarioKey& k, double fallback = NAN) const {
    if (!std::isnan(fallback) && !t.contains(k.name)) return fallback;
    const double value =
        k.type == KeyType::Integer ? Int32(t, k.name, k.section) : Number(t, k.name, k.section);
    if (!Admits(k, value)) Expect(false, t, k.name, k.section, Refusal(k));
    return value;
  }

  // "HH:MM:SS" as milliseconds of the day.
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
    const bool none = node->is_array() && node->as_array()->empty();  // `beacon = []`
    if (!node->is_array_of_tables() && !none)
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
  // A section's key written after another table's header belongs to that table.
  std::string UnknownKey(std::string_view key, std::string_view where) const {
    if (where.empty() || std::find(sections_.begin(), sections_.end(), key) == sections_.end()) {
      return "unknown key";
    }
    return fmt::format(
        "unknown key: a top-level \"{} = ...\" must stand before the first [table] header, "
        "or it belongs to [{}]",
        key, where);
  }

  std::string path_;
  std::vector<std::string_view> sections_;
};
