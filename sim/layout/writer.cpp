// The file the layout writes: the scenario file again, its own beacons
// replaced by the layout's, each station's group under its comment.
#include <fmt/format.h>
#include <toml++/toml.h>

#include <algorithm>
#include <fstream>

#include "layout/layout.h"

namespace {

// The input's lines without its beacons: each [[beacon]] table up to the
// next header, or the lines of a `beacon = [ … ]` array.
std::string WithoutBeacons(const std::string& inputPath) {
  std::ifstream in(inputPath, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::vector<bool> drop(lines.size(), false);
  bool inTable = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t first = lines[i].find_first_not_of(" \t");
    const bool header = first != std::string::npos && lines[i][first] == '[';
    if (header) inTable = lines[i].compare(first, 10, "[[beacon]]") == 0;
    drop[i] = inTable;
  }
  const bool tables = std::find(drop.begin(), drop.end(), true) != drop.end();
  const toml::table root = toml::parse_file(inputPath);
  if (const toml::node* array = root.get("beacon"); array != nullptr && !tables) {
    const toml::source_region& where = array->source();
    for (auto l = where.begin.line; l <= where.end.line && l <= lines.size(); ++l)
      drop[l - 1] = true;
  }
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!drop[i]) out += lines[i] + "\n";
  }
  return out;
}

}  // namespace

std::string LayoutFile(const std::string& inputPath, const Layout& layout) {
  std::string out = fmt::format(
      "# Beacons laid out by corvane-sim --layout from {}; each station's group\n"
      "# under a comment that says what was chosen and how its runs went.\n"
      "beacon = [\n",
      inputPath);
  for (size_t i = 0; i < layout.beacons.size(); ++i) {
    if (!layout.comments[i].empty()) out += fmt::format("  # {}\n", layout.comments[i]);
    out +=
        fmt::format("  {{ location = {:g}, {} }},\n", layout.beacons[i].location, layout.texts[i]);
  }
  return out + "]\n\n" + WithoutBeacons(inputPath);
}
