// Name and address resolution, thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace talvenor {

// A dotted IPv4 address as it stands, otherwise the first IPv4 answer of a
// host-name lookup; network order, 0 on failure.
uint32_t ResolveIpv4(const std::string& text);
// Every IPv4 address of a host name, as dotted text, in the resolver's order.
std::vector<std::string> ResolveAllIpv4(const std::string& hostName);
// Host name of an address for display; the dotted text when it has none.
std::string ReverseLookup(uint32_t networkAddress);
// The local interface address the system would use toward the peer (a
// throw-away socket is connected, never the SIP socket); 0 when none.
uint32_t LocalAddressToward(uint32_t peerAddress, uint16_t peerPort);
// This machine's host name, at most 259 characters.
std::string LocalHostName();

}  // namespace talvenor
