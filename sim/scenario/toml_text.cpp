#include "scenario/toml_text.h"

#include <toml++/toml.h>

#include <sstream>

std::string TomlQuoted(const std::string& text) {
  std::ostringstream out;
  // A basic string, on one line: a name's newline is written as "\n".
  out << toml::toml_formatter{toml::value<std::string>(text),
                              toml::format_flags::allow_unicode_strings};
  return out.str();
}
