// The registrar for other user agents. It keeps nothing in memory: the
// SIP-REG list is the record, rewritten at every accepted registration.
#pragma once

namespace talvenor {

class SipMessage;
class SipModule;

// Answers one REGISTER with exactly one response, under ModuleLock.
void HandleRegister(const SipModule& module, const SipMessage& request);

}  // namespace talvenor
