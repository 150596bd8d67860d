// What this machine's addresses mean to the phone, the same on every
// system; the system's calls are in network_calls.cpp.
#include "apps/nuvex-phone/platform/network_addresses.h"

#include <cstring>

#include "apps/nuvex-phone/platform/network_calls.h"

namespace nuvex {

std::string DottedAddress(uint32_t networkOrder) {
  unsigned char bytes[sizeof networkOrder];
  std::memcpy(bytes, &networkOrder, sizeof bytes);
  return std::to_string(bytes[0]) + '.' + std::to_string(bytes[1]) + '.' + std::to_string(bytes[2]) + '.' +
         std::to_string(bytes[3]);
}

std::string InterfaceAddress() {
  for (const InterfaceIpv4& each : InterfaceIpv4Addresses()) {
    if (each.up && !each.loopback) return DottedAddress(each.address);
  }
  return {};
}

}  // namespace nuvex
