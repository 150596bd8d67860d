// What a call line needs of the module that holds its slot: the SIP socket
// and the port everything it sends names as its own. The module is handed
// to each line, so that the call code depends on this and nothing more.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/endpoint.h"

namespace talvenor {

class CallContext {
public:
  // Sends one datagram on the SIP socket; what sendto returned.
  virtual long SendSip(std::string_view text, const Ipv4Endpoint& destination) const = 0;
  // The SIP port the socket is bound to (host order).
  virtual uint16_t AdvertisedSipPort() const = 0;
  // True while another call decodes G.729 (one decoder for all): new SDP
  // bodies then leave it out.
  virtual bool G729Busy() const = 0;
  virtual void SetG729Busy(bool busy) const = 0;

protected:
  ~CallContext() = default;
};

}  // namespace talvenor
