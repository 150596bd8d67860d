// Numbers that nobody off the path of a call can guess: the tags, branches
// and Call-IDs that tell the module's dialogs apart.
#pragma once

#include <cstdint>

namespace talvenor {

// The next number from the system's cryptographic random source (a ChaCha
// key stream keyed once per process on Linux, BCryptGenRandom on Windows).
// Thread-safe.
uint32_t RandomNumber();

}  // namespace talvenor
