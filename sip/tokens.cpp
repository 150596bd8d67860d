#include "sip/tokens.h"

#include <limits>

#include "sip/char_set.h"

namespace talvenor {
namespace {

char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The white space a C atoi skips: blank, \t, \n, \v, \f, \r.
bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string_view NthToken(std::string_view text, std::string_view delimiters, int n) {
  if (n < 0) {
    return {};
  }
  const CharSet separators(delimiters);
  size_t start = separators.Find(text, 0, false);
  while (start < text.size()) {
    size_t end = separators.Find(text, start, true);
    if (n == 0) {
      return text.substr(start, end - start);
    }
    --n;
    start = separators.Find(text, end, false);
  }
  return {};
}

int32_t DecimalValue(std::string_view token) {
  size_t i = 0;
  while (i < token.size() && IsCSpace(token[i])) {
    ++i;
  }
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
    negative = token[i] == '-';
    ++i;
  }
  // Accumulate the magnitude in 64 bits and stop growing once it passes the
  // largest magnitude a 32-bit result can take.
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (; i < token.size() && IsDigit(token[i]); ++i) {
    if (magnitude <= kLimit) {
      magnitude = magnitude * 10 + (token[i] - '0');
    }
  }
  if (negative) {
    return magnitude >= kLimit ? std::numeric_limits<int32_t>::min()
                               : static_cast<int32_t>(-magnitude);
  }
  return magnitude >= kLimit ? std::numeric_limits<int32_t>::max()
                             : static_cast<int32_t>(magnitude);
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithIgnoreCase(a, b);
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) {
    return false;
  }
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (FoldAscii(text[i]) != FoldAscii(prefix[i])) {
      return false;
    }
  }
  return true;
}

std::string ToLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    c = FoldAscii(c);
  }
  return lower;
}

std::string_view TrimWhitespace(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n\v\f";
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) {
    return {};
  }
  size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

std::string_view Utf8Prefix(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80) --cut;  // a continuation byte
  return text.substr(0, cut);
}

}  // namespace talvenor
