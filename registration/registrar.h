// The registrar for other user agents. It keeps nothing in memory: the
// SIP-REG list is the record, rewritten at every accepted registration.
#pragma once

#include "sip/sip_channel.h"

namespace talvenor {

class SipMessage;

// Answers one REGISTER with exactly one response, sent on the channel back
// to where the request came from. Under ModuleLock.
void HandleRegister(const SipChannel& channel, const SipMessage& request);

}  // namespace talvenor
