#include "scenario/toml_guard.h"

#include <fmt/format.h>

namespace {

// Walks the text a character at a time, knowing whether it stands in a
// string (basic or literal, one line or several) or a comment.
class ShapeWalk {
 public:
  explicit ShapeWalk(std::string_view text) : text_(text), masked_(text) {}

  TomlShape Run() {
    for (; at_ < text_.size(); ++at_) {
      const char c = text_[at_];
      if (c == '\n') ++line_;
      if (InString(c)) {
        if (std::optional<TextFault> fault = InStringFault(c)) return {fault, std::nullopt};
        continue;
      }
      if (InComment(c)) continue;
      if (std::optional<TextFault> fault = Outside(c)) return {fault, std::nullopt};
    }
    if (!masks_) return {};
    return {std::nullopt, std::move(masked_)};
  }

 private:
  bool Starts(std::string_view s) const { return text_.substr(at_, s.size()) == s; }

  bool InString(char c) {
    if (quote_.empty()) return false;
    if (c == '\n' && quote_.size() == 1) quote_.clear();  // a one-line string ends here
    if (c == '\\' && quote_[0] == '"') {
      lineEnding_ = quote_.size() == 3 && at_ + 1 < text_.size() && IsSpace(text_[at_ + 1]);
      if (!lineEnding_) Mask(++at_);  // an escape: the next character is the string's
    } else if (Starts(quote_)) {
      at_ += quote_.size() - 1;
      quote_.clear();
    } else {
      Mask(at_);
    }
    return true;
  }

  // After a line-ending backslash the parser skips whitespace by its own test.
  std::optional<TextFault> InStringFault(char c) {
    if (!lineEnding_ || c == '\\' || IsSpace(c)) return std::nullopt;
    lineEnding_ = false;
    if (static_cast<unsigned char>(c) < 0x80) return std::nullopt;
    return TextFault{line_, "a character outside the ASCII range after a line-ending backslash"};
  }

  static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

  void Mask(size_t i) {
    if (i >= text_.size() || static_cast<unsigned char>(text_[i]) < 0x80) return;
    masked_[i] = 'x';
    masks_ = true;
  }

  bool InComment(char c) {
    if (c == '\n') comment_ = false;
    return comment_;
  }

  std::optional<TextFault> Outside(char c) {
    if (c == '#') comment_ = true;
    if (c == '"' || c == '\'') {
      quote_ = Starts(std::string(3, c)) ? std::string(3, c) : std::string(1, c);
      at_ += quote_.size() - 1;
      return std::nullopt;
    }
    if (static_cast<unsigned char>(c) >= 0x80) {
      return TextFault{line_, "a character outside the ASCII range outside a string or comment"};
    }
    if (c == '[' || c == '{') ++brackets_;
    if (c == ']' || c == '}') --brackets_;
    // A run of dots between spaces and separators: a dotted key's depth.
    dots_ = c == '.' ? dots_ + 1 : (c == ' ' || c == '\t' || c == '\n' || c == '=') ? 0 : dots_;
    if (brackets_ > kDeepestNesting || dots_ > kDeepestNesting) {
      return TextFault{line_, fmt::format("nested deeper than {} levels", kDeepestNesting)};
    }
    return std::nullopt;
  }

  std::string_view text_;
  size_t at_ = 0;
  int line_ = 1, brackets_ = 0, dots_ = 0;
  std::string quote_;  // the quote that ends the string the walk stands in
  bool comment_ = false;
  bool lineEnding_ = false;  // after a line-ending backslash, before the next text
  std::string masked_;
  bool masks_ = false;
};

}  // namespace

TomlShape CheckTomlShape(std::string_view text) { return ShapeWalk(text).Run(); }
