// An IPv4 socket address as the module keeps it: address and port both in
// network byte order, as they travel in the datagram headers.
#pragma once

#include <cstdint>
#include <string>

namespace talvenor {

struct Ipv4Endpoint {
  uint32_t address = 0;  // network order
  uint16_t port = 0;     // network order

  bool operator==(const Ipv4Endpoint&) const = default;
};

// Dotted decimal text of a network-order address ("192.168.1.5").
std::string DottedAddress(uint32_t networkAddress);
// Strict dotted-quad parse; 0 when the text is not exactly four decimal octets.
uint32_t ParseDottedAddress(std::string_view text);

uint16_t NetworkPort(uint16_t hostPort);
uint16_t HostPort(uint16_t networkPort);
uint32_t NetworkAddress(uint32_t hostAddress);
uint32_t HostAddress(uint32_t networkAddress);

// True when two network-order addresses share their first three octets
// (the same /24 network).
bool SameNetwork24(uint32_t a, uint32_t b);

// 127.0.0.1 in network order.
uint32_t LoopbackAddress();

}  // namespace talvenor
