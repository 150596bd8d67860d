// Numbers that nobody off the path of a call can guess: the tags, branches
// and Call-IDs that tell the module's dialogs apart.
#pragma once

#include <cstdint>

namespace talvenor {

// The next number of a ChaCha key stream keyed once per process from the
// system's random source. Thread-safe.
uint32_t RandomNumber();

}  // namespace talvenor
