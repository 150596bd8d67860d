#include "platform/secure_random.h"

#include <windows.h>
#include <bcrypt.h>

#include <random>

namespace talvenor {

uint32_t SecureRandomNumber() {
  uint32_t value = 0;
  if (BCRYPT_SUCCESS(BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&value), sizeof value,
                                     BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
    return value;
  }
  // Not expected to fail; the runtime's source (RtlGenRandom) stands in.
  std::random_device source;
  return static_cast<uint32_t>(source());
}

}  // namespace talvenor
