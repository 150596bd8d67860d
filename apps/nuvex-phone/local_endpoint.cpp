#include "apps/nuvex-phone/local_endpoint.h"

#include <vector>

#include "apps/nuvex-phone/module_profile.h"
#include "apps/nuvex-phone/phone_options.h"
#include "apps/nuvex-phone/platform/network_addresses.h"
#include "apps/nuvex-phone/platform/own_sockets.h"

namespace nuvex {

LocalEndpoint FindLocalEndpoint() {
  unsigned configured = ConfiguredSipPort();
  std::vector<BoundSocket> sockets = OwnUdpSockets();
  BoundSocket sip{0, configured};
  bool bound = false;
  for (const BoundSocket& socket : sockets) {
    if (socket.port == configured) {
      sip = socket;
      bound = true;
    }
  }
  if (!bound && !sockets.empty()) {
    sip = sockets.front();
    bound = true;
  }
  LocalEndpoint endpoint;
  endpoint.port = sip.port;
  std::string address = ProfileAddress();
  if (bound && sip.address != 0) {
    endpoint.address = DottedAddress(sip.address);
  } else if (!address.empty() && address != HostName()) {
    endpoint.address = address;
  } else {
    endpoint.address = InterfaceAddress();
  }
  if (endpoint.address.empty()) endpoint.address = "127.0.0.1";
  return endpoint;
}

}  // namespace nuvex
