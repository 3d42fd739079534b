#include "compose/textrules.h"

#include <cmath>

#include "base/text.h"

namespace compose {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// One character of UTF-8 with ASCII and Latin-1 letters folded to lower case; advances `at`.
// U+00C0..U+00DE (except U+00D7) fold onto U+00E0..U+00FE, which in UTF-8 is C3 80..9E to
// C3 A0..BE.
unsigned FoldedAt(std::string_view text, std::size_t& at) {
  const auto c = static_cast<unsigned char>(text[at++]);
  if (c < 0x80) return static_cast<unsigned char>(base::AsciiLower(static_cast<char>(c)));
  if (c == 0xC3 && at < text.size()) {
    const auto next = static_cast<unsigned char>(text[at++]);
    const bool upper = next >= 0x80 && next <= 0x9E && next != 0x97;
    return 0xC300u | (upper ? next + 0x20u : next);
  }
  return c;
}

}  // namespace

bool IsNumeric(std::string_view text) {
  std::size_t i = 0;
  const auto skipSpaces = [&] {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  };
  skipSpaces();
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  skipSpaces();
  return i == text.size();
}

bool SameText(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (FoldedAt(a, i) != FoldedAt(b, j)) return false;
  }
  return i == a.size() && j == b.size();
}

bool StartsWithNumber(std::string_view text) {
  std::size_t i = text.find_first_not_of(" \t");
  if (i == std::string_view::npos) return false;
  if (text[i] == '+' || text[i] == '-') ++i;
  if (i < text.size() && text[i] == '.') ++i;
  return i < text.size() && IsDigit(text[i]);
}

int TrackNumberOf(std::string_view fileName) {
  std::size_t start = 0;
  while (true) {
    const auto dash = fileName.find('-', start);
    const std::string_view piece = fileName.substr(start, dash - start);
    if (StartsWithNumber(piece)) {
      const double value = base::RoundHalfEven(base::LeadingNumber(piece));
      // An Integer holds the number; a larger one is no track number.
      if (value >= -32768.0 && value <= 32767.0) return static_cast<int>(value);
    }
    if (dash == std::string_view::npos) return 0;
    start = dash + 1;
  }
}

std::string TitleKey(std::string_view fileName) {
  const auto dash = fileName.rfind('-');
  const std::string_view piece =
      dash == std::string_view::npos ? fileName : fileName.substr(dash + 1);
  return base::Trim(base::AsciiUpper(base::DropLastFour(piece)));
}

}  // namespace compose
