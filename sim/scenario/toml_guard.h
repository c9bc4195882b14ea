// What a scenario's text must pass before the TOML parser sees it: the
// parser recurses on nested brackets and dotted keys, so a hostile file could
// exhaust its stack; and its test for non-ASCII whitespace reaches an
// unreachable point (undefined behaviour) for most letters outside ASCII,
// which it makes wherever it scans text that is not a string's: past a
// malformed value, or after a line-ending backslash in a multi-line string.
// So a text with such letters is first parsed with each of them, inside its
// strings, masked by an ASCII letter of the same length; only a text whose
// masked form parses is parsed as it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>

constexpr int kDeepestNesting = 32;

struct TextFault {
  int line;
  std::string message;
};

struct TomlShape {
  std::optional<TextFault> fault;     // the first fault of the text's shape
  std::optional<std::string> masked;  // the text to parse first, when it has non-ASCII letters
};
TomlShape CheckTomlShape(std::string_view text);
