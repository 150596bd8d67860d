#pragma once

#include <cstdint>
#include <vector>

namespace nuvex {

struct BoundSocket {
  uint32_t address = 0;  // network order
  unsigned port = 0;
};

// The process's IPv4 UDP sockets with what each is bound to, in the order
// the system lists them.
std::vector<BoundSocket> OwnUdpSockets();

}  // namespace nuvex
