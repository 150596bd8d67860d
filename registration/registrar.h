// The registrar for other user agents. It keeps nothing in memory: the
// SIP-REG list is the record, rewritten at every accepted registration.
#pragma once

#include <cstdint>
#include <string>

#include "sip/sip_channel.h"

namespace talvenor {

class GuessGuard;
class SipMessage;

// The Registration page's settings and the local address, as they stand
// when a REGISTER arrives.
struct RegistrarSettings {
  uint32_t defaultExpiration = 0;  // the longest lifetime granted
  bool authenticate = false;
  std::string localAddress;  // the realm of the challenges
};

// Answers one REGISTER with exactly one response, sent on the channel back
// to where the request came from, unless `guesses` holds its source back:
// then its credentials are dropped unanswered. Under ModuleLock.
void HandleRegister(const SipChannel& channel, const SipMessage& request, const RegistrarSettings& settings,
                    GuessGuard& guesses);

}  // namespace talvenor
