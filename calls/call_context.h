// What a call line needs of the module that holds its slot: the SIP socket,
// the module-wide G.729 flag, the gateway accounts and the settings it
// uses. The module is handed to each line, so the call code depends on this
// and nothing more.
#pragma once

#include <cstdint>
#include <mutex>

#include "calls/call_settings.h"
#include "sip/sip_channel.h"

namespace talvenor {

class CallLine;
class GatewayAccounts;
class RegistrationBook;

class CallContext : public SipChannel {
public:
  // True while a call codes G.729. The module offers it to one call at a
  // time, since a G.729 library, often licensed by the channel, may allow
  // no more; new SDP bodies leave it out meanwhile.
  virtual bool G729Busy() const = 0;
  virtual void SetG729Busy(bool busy) const = 0;
  // ModuleLock: it guards the lines and the gateway accounts.
  virtual std::recursive_mutex& LinesLock() const = 0;
  // ModuleLock for a line's own thread. False, without it, when the module
  // is ending every call and another thread holds the lock: a shutdown that
  // holds it may be waiting for this very thread.
  virtual bool LockLines(std::unique_lock<std::recursive_mutex>& lock) const {
    lock = std::unique_lock(LinesLock());
    return true;
  }
  // The settings as they stand, for an outgoing call about to open its
  // media. It may look names up: never under ModuleLock.
  virtual OutgoingCallSettings SettingsForOutgoingCall() const = 0;
  // Frees the line's slot if it still holds that line: for a call the host
  // never took (it gave no connection), once the caller has its answer.
  virtual void ReleaseOwnLine(const CallLine& line) = 0;
  // The gateway accounts, read under LinesLock.
  virtual GatewayAccounts& Gateways() const = 0;
  // The longest a registration taken here lives, as the settings stand.
  virtual uint32_t LongestRegistration() const = 0;
  // The registrations taken here, looked up in memory.
  virtual RegistrationBook& Registrations() const = 0;

protected:
  ~CallContext() = default;
};

}  // namespace talvenor
