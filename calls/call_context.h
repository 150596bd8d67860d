// What a call line needs of the module that holds its slot: the SIP socket
// and the module-wide G.729 flag. The module is handed to each line, so the
// call code depends on this and nothing more.
#pragma once

#include <mutex>

#include "transport/sip_channel.h"

namespace talvenor {

class CallContext : public SipChannel {
public:
  // True while another call decodes G.729 (one decoder for all): new SDP
  // bodies then leave it out.
  virtual bool G729Busy() const = 0;
  virtual void SetG729Busy(bool busy) const = 0;
  // ModuleLock: it guards the lines and the gateway accounts.
  virtual std::recursive_mutex& LinesLock() const = 0;

protected:
  ~CallContext() = default;
};

}  // namespace talvenor
