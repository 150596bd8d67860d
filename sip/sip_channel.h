// The module's SIP socket as the subsystems that send on it see it.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/endpoint.h"

namespace talvenor {

class SipChannel {
public:
  // Sends one datagram on the SIP socket; what sendto returned.
  virtual long SendSip(std::string_view text, const Ipv4Endpoint& destination) const = 0;
  // The port the socket is bound to (host order): the one everything sent
  // names as the module's own.
  virtual uint16_t AdvertisedSipPort() const = 0;

protected:
  ~SipChannel() = default;
};

}  // namespace talvenor
