// Random numbers that nobody can predict from the ones seen before.
#pragma once

#include <cstdint>

namespace talvenor {

// The next unpredictable 32-bit number: a ChaCha key stream keyed once per
// process from the system's random source on Linux, the system's preferred
// generator on Windows. Thread-safe.
uint32_t SecureRandomNumber();

}  // namespace talvenor
