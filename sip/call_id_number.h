// The number in a "call-%u@address" Call-ID line.
#pragma once

#include <cstdint>

namespace talvenor {

// The millisecond tick count, moved past every number handed out before, so
// that Call-IDs made in the same millisecond (accounts registering at
// start-up) still differ: each takes only its own responses.
uint32_t NewCallIdNumber();

}  // namespace talvenor
