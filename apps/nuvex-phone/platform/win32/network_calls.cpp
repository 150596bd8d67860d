// The phone's calls of the system about this machine's network (Windows).
#include "apps/nuvex-phone/platform/network_calls.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <vector>

#include "apps/nuvex-phone/platform/network_addresses.h"
#include "apps/nuvex-phone/platform/win32/sockets_ready.h"

namespace nuvex {

std::vector<InterfaceIpv4> InterfaceIpv4Addresses() {
  std::vector<InterfaceIpv4> found;
  ULONG size = 16 * 1024;
  std::vector<unsigned char> buffer;
  ULONG result = ERROR_BUFFER_OVERFLOW;
  // The list may grow between the two calls: a few tries.
  for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.resize(size);
    result = GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                  nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (result != NO_ERROR) return found;
  for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
       adapter = adapter->Next) {
    for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
      const sockaddr* address = unicast->Address.lpSockaddr;
      if (address == nullptr || address->sa_family != AF_INET) continue;
      found.push_back({reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr,
                       adapter->OperStatus == IfOperStatusUp, adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK});
    }
  }
  return found;
}

std::string HostName() {
  char name[256] = {};
  return SocketsReady() && gethostname(name, sizeof name - 1) == 0 ? name : "";
}

bool ResolvesToIPv4(const std::string& host) {
  if (!SocketsReady()) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return false;
  freeaddrinfo(found);
  return true;
}

}  // namespace nuvex
