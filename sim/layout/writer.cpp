// The file the layout writes: the scenario file's own text again, its own
// beacons and [sweep] replaced by the layout's beacons, each station's group
// under its comment, and the sweep every choice was judged by; a file the
// reader loads back to the same scenario.
#include "layout/writer.h"

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <toml++/toml.h>

#include <algorithm>
#include <set>
#include <sstream>

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Whether line `n` (from 1) is a table's header, not a dotted key's line.
bool IsHeader(const std::vector<std::string>& lines, size_t n) {
  if (n == 0 || n > lines.size()) return false;
  const std::string& line = lines[n - 1];
  const size_t first = line.find_first_not_of(" \t");
  return first != std::string::npos && line[first] == '[';
}

// The lines (from 1) where a table that is no inline table begins: its header.
void Headers(const toml::table& table, const std::vector<std::string>& lines,
             std::set<size_t>& out) {
  for (const auto& [key, node] : table) {
    if (const toml::table* t = node.as_table(); t != nullptr) {
      if (!t->is_inline() && IsHeader(lines, t->source().begin.line))
        out.insert(t->source().begin.line);
      Headers(*t, lines, out);
    } else if (const toml::array* a = node.as_array(); a != nullptr) {
      for (const toml::node& element : *a) {
        if (const toml::table* t = element.as_table(); t != nullptr && !t->is_inline()) {
          out.insert(t->source().begin.line);
          Headers(*t, lines, out);
        }
      }
    }
  }
}

// The lines of each value of a table made by dotted keys.
template <typename Mark>
void MarkValues(const toml::table& table, const Mark& mark) {
  for (const auto& [key, node] : table) {
    if (const toml::table* t = node.as_table(); t != nullptr && !t->is_inline())
      MarkValues(*t, mark);
    else
      mark(node.source().begin.line, node.source().end.line);
  }
}

// The lines of the text's beacons: each [[beacon]] table (and its sub-tables)
// up to the next header, or the lines of a `beacon = [ … ]` array; and those
// of its [sweep] table, or of a `sweep = { … }` line.
std::vector<bool> BeaconLines(const std::string& text, const std::vector<std::string>& lines) {
  const size_t count = lines.size();
  std::vector<bool> drop(count + 1, false);
  const toml::table root = toml::parse(text);
  std::set<size_t> headers;
  Headers(root, lines, headers);
  const auto mark = [&](size_t from, size_t to) {
    for (size_t l = from; l <= to && l <= count; ++l) drop[l] = true;
  };
  if (const toml::table* sweep = root["sweep"].as_table()) {
    const size_t from = sweep->source().begin.line;
    const auto next = headers.upper_bound(from);
    if (sweep->is_inline())
      mark(from, sweep->source().end.line);
    else if (IsHeader(lines, from))
      mark(from, next == headers.end() ? count : *next - 1);
    else  // `sweep.seed = [1, 2]` and the like: each dotted key's own lines
      MarkValues(*sweep, mark);
  }
  const toml::node* beacons = root.get("beacon");
  if (beacons == nullptr) return drop;
  const toml::array* array = beacons->as_array();
  if (array == nullptr ||
      array->is_array_of_tables() && !array->empty() && !array->front().as_table()->is_inline()) {
    std::set<size_t> own;  // the beacons' headers and their sub-tables'
    if (array != nullptr) {
      for (const toml::node& element : *array) Headers(*element.as_table(), lines, own);
      for (const toml::node& element : *array) own.insert(element.source().begin.line);
    }
    for (const size_t header : own) {
      const auto next = headers.upper_bound(header);
      mark(header, next == headers.end() ? count : *next - 1);
    }
  } else {
    mark(array->source().begin.line, array->source().end.line);
  }
  return drop;
}

// A comment's text on one line, with no control character, which no
// comment may hold.
std::string OneLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(),
      [](char c) { return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f; }, ' ');
  return text;
}

// The header's lines, and whether a line of the input is one of an
// earlier layout's: a file laid out again has one header.
constexpr const char* kHeaderFrom = "# Beacons laid out by corvane-sim layout from ";
constexpr const char* kHeader[] = {
    "each station's group",
    "# under a comment that says what was chosen and how the runs of "
    "the sweep below went."};
bool Header(const std::string& line) {
  return line.rfind(kHeaderFrom, 0) == 0 || line == kHeader[1];
}

// `sweep = { brake_scale = [0.95, 0.975, …], … }`, each value as it reads back.
std::string SweepLine(const std::vector<SweepAxis>& sweep) {
  std::vector<std::string> axes;
  for (const SweepAxis& axis : sweep)
    axes.push_back(fmt::format("{} = [{}]", axis.name, fmt::join(axis.values, ", ")));
  return fmt::format("sweep = {{ {} }}\n", fmt::join(axes, ", "));
}

}  // namespace

std::string LayoutFile(const Scenario& s, const Layout& layout) {
  std::string out =
      fmt::format("{}{}; {}\n{}\n", kHeaderFrom, OneLine(s.path), kHeader[0], kHeader[1]);
  out += SweepLine(layout.sweep);
  if (!layout.beacons.empty()) out += "beacon = [\n";  // an empty array is no list of tables
  for (size_t i = 0; i < layout.beacons.size(); ++i) {
    if (!layout.comments[i].empty()) out += fmt::format("  # {}\n", OneLine(layout.comments[i]));
    out += fmt::format("  {{ location = {}, {} }},\n", layout.beacons[i].location, layout.texts[i]);
  }
  if (!layout.beacons.empty()) out += "]\n";
  out += "\n";
  const std::string& text = *s.source;
  const std::vector<std::string> lines = Lines(text);
  const std::vector<bool> drop = BeaconLines(text, lines);
  bool begun = false;  // the input's own blank lines before its first kept line go
  for (size_t i = 0; i < lines.size(); ++i) {
    if (drop[i + 1] || Header(lines[i])) continue;
    begun = begun || lines[i].find_first_not_of(" \t\r") != std::string::npos;
    if (begun) out += lines[i] + "\n";
  }
  return out;
}
