#include <gtest/gtest.h>

#include <set>

#include "platform/secure_random.h"

namespace talvenor {
namespace {

// Tags and Call-IDs come from these numbers: a source stuck on one value, or
// on a few, would give every dialog the same ones.
TEST(SecureRandom, NumbersDoNotRepeat) {
  std::set<uint32_t> seen;
  for (int draw = 0; draw < 1000; ++draw) seen.insert(SecureRandomNumber());
  // More than one repeat among a thousand 32-bit numbers: about one chance
  // in a hundred million.
  EXPECT_GE(seen.size(), 999u);
}

}  // namespace
}  // namespace talvenor
