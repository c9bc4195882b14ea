// What a scenario's text must pass before the TOML parser sees it: the
// parser recurses on nested brackets and dotted keys, so a hostile file could
// exhaust its stack, and it is not to be trusted with characters outside
// strings and comments that no TOML file may have there.
#pragma once

#include <optional>
#include <string>
#include <string_view>

constexpr int kDeepestNesting = 32;

struct TextFault {
  int line;
  std::string message;
};

// The first fault of the text's shape, if any.
std::optional<TextFault> TomlShapeFault(std::string_view text);
