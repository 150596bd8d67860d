// Cutting header text into tokens at fixed delimiter sets, reading decimal
// numbers out of tokens, and ASCII case-insensitive comparison. Every
// function keeps its position in its own locals: safe on any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace talvenor {

// Token n (from 0) of text. Any run of characters from delimiters separates
// two tokens and delimiters at the start are skipped; quotes are ordinary
// characters. Empty when the text has fewer than n + 1 tokens or n < 0.
//   NthToken("CSeq: 2 REGISTER", ": ", 2) == "REGISTER"
std::string_view NthToken(std::string_view text, std::string_view delimiters, int n);

// The token read as a signed 32-bit decimal, the way a C atoi reads it:
// leading white space, one optional sign, then digits up to the first
// non-digit; no digits read as 0. A value beyond 32 bits saturates at
// INT32_MAX or INT32_MIN, as a 32-bit atoi does, instead of wrapping, so a
// huge Expires stays a huge lifetime rather than turning negative or small.
int32_t DecimalValue(std::string_view token);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);
std::string ToLower(std::string_view text);

// The longest start of the text within `limit` bytes that does not end
// inside a UTF-8 character.
std::string_view Utf8Prefix(std::string_view text, size_t limit);

// The text without leading and trailing blanks, tabs and line ends.
std::string_view TrimWhitespace(std::string_view text);

}  // namespace talvenor
