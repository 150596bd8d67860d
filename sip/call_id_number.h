// The number in a "call-%u@address" Call-ID line.
#pragma once

#include <cstdint>

namespace talvenor {

// A random number: a stranger who cannot guess a call's Call-ID cannot
// aim a message at it, and two Call-IDs made at once still differ.
uint32_t NewCallIdNumber();

}  // namespace talvenor
