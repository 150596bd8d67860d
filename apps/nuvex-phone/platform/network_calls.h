// The system's view of this machine's interfaces, under network_addresses.h.
#pragma once

#include <cstdint>
#include <vector>

namespace nuvex {

struct InterfaceIpv4 {
  uint32_t address = 0;  // network order
  bool up = false;
  bool loopback = false;
};

// Every IPv4 address of every interface, in the system's order; empty when
// the system cannot list them.
std::vector<InterfaceIpv4> InterfaceIpv4Addresses();

}  // namespace nuvex
