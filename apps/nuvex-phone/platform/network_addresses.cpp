#include "apps/nuvex-phone/platform/network_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

namespace nuvex {

std::string DottedAddress(uint32_t networkOrder) {
  char text[INET_ADDRSTRLEN] = {};
  in_addr address{networkOrder};
  return inet_ntop(AF_INET, &address, text, sizeof text) != nullptr ? text : "";
}

std::string InterfaceAddress() {
  ifaddrs* interfaces = nullptr;
  if (getifaddrs(&interfaces) != 0) return {};
  std::string found;
  for (ifaddrs* each = interfaces; each != nullptr && found.empty(); each = each->ifa_next) {
    if (each->ifa_addr == nullptr || each->ifa_addr->sa_family != AF_INET) continue;
    if (!(each->ifa_flags & IFF_UP) || (each->ifa_flags & IFF_LOOPBACK)) continue;
    found = DottedAddress(reinterpret_cast<sockaddr_in*>(each->ifa_addr)->sin_addr.s_addr);
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
