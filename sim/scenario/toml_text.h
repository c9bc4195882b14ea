// Text written into a scenario file, as the reader takes it back.
#pragma once

#include <string>

// A text as a TOML basic string on one line, quoted and escaped.
std::string TomlQuoted(const std::string& text);
