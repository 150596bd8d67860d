// The registrar for other user agents. Its bindings are the module's
// RegistrationBook: a REGISTER that changes one is answered once the SIP-REG
// list holding the change is on disk, from the book's writer thread.
#pragma once

#include <cstdint>
#include <string>

#include "sip/sip_channel.h"

namespace talvenor {

class GuessGuard;
class RegistrationBook;
class SipMessage;

// The Registration page's settings and the local address, as they stand
// when a REGISTER arrives.
struct RegistrarSettings {
  uint32_t defaultExpiration = 0;  // the longest lifetime granted
  bool authenticate = false;
  std::string localAddress;  // the realm of the challenges
};

// Answers one REGISTER with exactly one response, sent on the channel back
// to where the request came from, at once or after the book's write, unless
// `guesses` holds its source back: then its credentials are dropped
// unanswered. Under ModuleLock; the channel outlives the book's writer.
void HandleRegister(const SipChannel& channel, const SipMessage& request, const RegistrarSettings& settings,
                    RegistrationBook& book, GuessGuard& guesses);

}  // namespace talvenor
