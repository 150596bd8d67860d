// What the module hands its GuessGuard: the clock it counts by and how a
// guessing source is banned (the SIP Address page's switches as they stand).
#pragma once

#include <cstdint>

namespace talvenor {

class SipMessage;

int64_t SteadyMilliseconds();
void BanGuessingSource(const SipMessage& request);

}  // namespace talvenor
