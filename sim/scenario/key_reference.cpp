// The key reference, rendered from the table of keys.
#include "scenario/key_reference.h"

#include <fmt/format.h>

#include <cmath>

#include "scenario/keys.h"
#include "scenario/scenario.h"

namespace {

std::string TypeText(const ScenarioKey& k) {
  switch (k.type) {
    case KeyType::Number: return "number";
    case KeyType::Integer: return "integer";
    case KeyType::Flag: return "true or false";
    case KeyType::Other: break;
  }
  return k.typeWords;
}

// As a Scenario has it before the file is read.
std::string DefaultText(const ScenarioKey& k, const Scenario& defaults) {
  if (k.defaultWords != nullptr) return k.defaultWords;
  if (k.required) return "required";
  if (k.slot.get == nullptr) return "";
  const double value = k.slot.get(defaults);
  if (k.type == KeyType::Flag) return value != 0 ? "true" : "false";
  return std::isinf(value) ? "none" : fmt::format("{:g}", value);
}

// The keys of other sections a sweep may vary.
std::string SweptElsewhere() {
  std::string names;
  for (const ScenarioKey& k : kScenarioKeys) {
    if (k.sweep && k.section != "sweep")
      names += fmt::format("{}`{}`", names.empty() ? "" : ", ", k.name);
  }
  return fmt::format("Besides these, a sweep varies by its name any key marked so: {}.\n\n", names);
}

}  // namespace

std::string KeyReference() {
  const Scenario defaults;
  std::string out;
  for (const KeySection& section : kKeySections) {
    out += fmt::format("#### `{}{}{}`\n\n{}\n\n", section.array ? "[[" : "[", section.name,
                       section.array ? "]]" : "]", section.meaning);
    out +=
        "| key | type | range | default | unit | sweep | meaning "
        "|\n|---|---|---|---|---|---|---|\n";
    for (const ScenarioKey& k : kScenarioKeys) {
      if (k.section != section.name) continue;
      out +=
          fmt::format("| `{}` | {} | {} | {} | {} | {} | {} |\n", k.name, TypeText(k), RangeText(k),
                      DefaultText(k, defaults), k.unit, k.sweep ? "yes" : "", k.meaning);
    }
    out += "\n";
    if (section.name == "sweep") out += SweptElsewhere();
  }
  return out;
}
