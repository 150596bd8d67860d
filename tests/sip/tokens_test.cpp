#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string_view>

#include "sip/tokens.h"

namespace talvenor {
namespace {

struct TokenCase {
  std::string_view text;
  std::string_view delimiters;
  int n;
  std::string_view expected;
};

TEST(NthTokenTest, CutsAtRunsOfDelimitersAndSkipsLeadingOnes) {
  const TokenCase cases[] = {
      {"CSeq: 2 REGISTER", ": ", 0, "CSeq"},
      {"CSeq: 2 REGISTER", ": ", 1, "2"},
      {"CSeq: 2 REGISTER", ": ", 2, "REGISTER"},
      {"CSeq: 2 REGISTER", ": ", 3, ""},
      {"  a  b", " ", 0, "a"},
      {"  a  b", " ", 1, "b"},
      {"  a  b  ", " ", 2, ""},
      {"", " ", 0, ""},
      {":::", ":", 0, ""},
      {"whole text", "", 0, "whole text"},
      {"a b", " ", -1, ""},
      // Quotes are ordinary characters unless they are delimiters.
      {"a \"b c\" d", " ", 1, "\"b"},
      {"From: \"Front Desk\" <sip:a@h>", ": \"<", 1, "Front"},
      // Adjacent quotes count as one separator.
      {"opaque=\"\", realm=\"r\"", "\"", 1, ", realm="},
  };
  for (const TokenCase& c : cases) {
    EXPECT_EQ(NthToken(c.text, c.delimiters, c.n), c.expected)
        << '\'' << c.text << "' n=" << c.n;
  }
}

TEST(DecimalValueTest, ReadsLikeAtoiAndSaturatesBeyond32Bits) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  const struct {
    std::string_view token;
    int32_t expected;
  } cases[] = {
      {"60", 60},
      {"0068", 68},
      {"  \t-12x", -12},
      {"+7", 7},
      {"12 34", 12},
      {"3600;q=1", 3600},
      {"", 0},
      {"abc", 0},
      {"- 5", 0},
      {"--5", 0},
      {"-", 0},
      {"2147483647", kMax},
      {"2147483648", kMax},
      {"-2147483648", kMin},
      {"-2147483649", kMin},
      {"36893488147419103232", kMax},
      {"-36893488147419103232", kMin},
      {"4294967301", kMax},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecimalValue(c.token), c.expected) << '\'' << c.token << '\'';
  }
}

TEST(CaseFoldingTest, ComparesAsciiLettersWithoutCase) {
  EXPECT_TRUE(EqualsIgnoreCase("Call-ID: x", "call-id: X"));
  EXPECT_FALSE(EqualsIgnoreCase("Call-ID: x", "Call-ID: x "));
  EXPECT_TRUE(StartsWithIgnoreCase("Expires: 60", "expires"));
  EXPECT_TRUE(StartsWithIgnoreCase("anything", ""));
  EXPECT_FALSE(StartsWithIgnoreCase("To", "To:"));
  // Only ASCII letters fold: '@' and '`' sit next to 'A' and 'a'.
  EXPECT_FALSE(EqualsIgnoreCase("@", "`"));
  EXPECT_FALSE(EqualsIgnoreCase("\xC4", "\xE4"));
  EXPECT_EQ(ToLower("Desk@10.0.0.7:5062 \xC4Z"), "desk@10.0.0.7:5062 \xC4z");
}

TEST(TrimWhitespaceTest, TrimsBothEnds) {
  EXPECT_EQ(TrimWhitespace("  Phone 1.0\t "), "Phone 1.0");
  EXPECT_EQ(TrimWhitespace(" \t "), "");
  EXPECT_EQ(TrimWhitespace("x"), "x");
}

}  // namespace
}  // namespace talvenor
