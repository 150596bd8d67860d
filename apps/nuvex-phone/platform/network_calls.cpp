// The phone's calls of the system about this machine's network (Linux).
#include "apps/nuvex-phone/platform/network_calls.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include "apps/nuvex-phone/platform/network_addresses.h"

namespace nuvex {

std::vector<InterfaceIpv4> InterfaceIpv4Addresses() {
  std::vector<InterfaceIpv4> found;
  ifaddrs* interfaces = nullptr;
  if (getifaddrs(&interfaces) != 0) return found;
  for (ifaddrs* each = interfaces; each != nullptr; each = each->ifa_next) {
    if (each->ifa_addr == nullptr || each->ifa_addr->sa_family != AF_INET) continue;
    found.push_back({reinterpret_cast<sockaddr_in*>(each->ifa_addr)->sin_addr.s_addr, (each->ifa_flags & IFF_UP) != 0,
                     (each->ifa_flags & IFF_LOOPBACK) != 0});
  }
  freeifaddrs(interfaces);
  return found;
}

std::string HostName() {
  char name[256] = {};
  return gethostname(name, sizeof name - 1) == 0 ? name : "";
}

bool ResolvesToIPv4(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return false;
  freeaddrinfo(found);
  return true;
}

}  // namespace nuvex
