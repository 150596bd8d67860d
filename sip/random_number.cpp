#include "sip/random_number.h"

#include "platform/secure_random.h"

namespace talvenor {

// A source that cannot be predicted: a peer that sees many of our tags and
// Call-IDs learns nothing about the next ones.
uint32_t RandomNumber() { return SecureRandomNumber(); }

}  // namespace talvenor
