// The documentation's key reference is the table of keys as rendered;
// CORVANE_WRITE_KEY_REFERENCE=1 sim_tests --gtest_filter='KeyReference.*' writes it there.
#include "scenario/key_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr const char* kDocument = CORVANE_SOURCE_DIR "/docs/scenario.md";
constexpr std::string_view kBegin = "<!-- keys begin", kEnd = "<!-- keys end -->";

TEST(KeyReference, TheDocumentHoldsTheTableAsRendered) {
  std::ifstream in(kDocument, std::ios::binary);
  std::stringstream read;
  read << in.rdbuf();
  std::string text = read.str();
  const size_t marker = text.find(kBegin), end = text.find(kEnd);
  const size_t begin = text.find('\n', marker) + 1;
  ASSERT_TRUE(marker != std::string::npos && end != std::string::npos && begin <= end)
      << kDocument << " has no " << kBegin << " … " << kEnd;
  if (std::getenv("CORVANE_WRITE_KEY_REFERENCE") != nullptr) {
    std::ofstream(kDocument, std::ios::binary) << text.replace(begin, end - begin, KeyReference());
    return;
  }
  std::istringstream document(text.substr(begin, end - begin)), table(KeyReference());
  auto line = std::count(text.begin(), text.begin() + begin, '\n');
  for (std::string a, b; bool(std::getline(document, a)) | bool(std::getline(table, b));) {
    ++line;
    if (a != b) {
      FAIL() << kDocument << ":" << line << ": the key reference is not the table's\n- " << a
             << "\n+ " << b << "\nCORVANE_WRITE_KEY_REFERENCE=1 rewrites it";
    }
    a.clear();
    b.clear();
  }
}

}  // namespace
