#include "platform/endpoint.h"

#include <arpa/inet.h>

#include <string>

namespace talvenor {

std::string DottedAddress(uint32_t networkAddress) {
  char text[INET_ADDRSTRLEN] = {};
  in_addr address{};
  address.s_addr = networkAddress;
  if (inet_ntop(AF_INET, &address, text, sizeof text) == nullptr) return {};
  return text;
}

uint32_t ParseDottedAddress(std::string_view text) {
  // inet_pton takes only the strict dotted quad: no "10.1" shorthand, no octal,
  // no trailing junk, and 255.255.255.255 is not confused with an error.
  std::string copy(text);
  in_addr address{};
  if (inet_pton(AF_INET, copy.c_str(), &address) != 1) return 0;
  return address.s_addr;
}

uint16_t NetworkPort(uint16_t hostPort) { return htons(hostPort); }
uint16_t HostPort(uint16_t networkPort) { return ntohs(networkPort); }
uint32_t NetworkAddress(uint32_t hostAddress) { return htonl(hostAddress); }
uint32_t HostAddress(uint32_t networkAddress) { return ntohl(networkAddress); }
uint32_t LoopbackAddress() { return htonl(INADDR_LOOPBACK); }

bool SameNetwork24(uint32_t a, uint32_t b) { return (ntohl(a) >> 8) == (ntohl(b) >> 8); }

}  // namespace talvenor
