// Name and address resolution, thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace talvenor {

// A dotted IPv4 address as it stands, otherwise the first IPv4 answer of a
// host-name lookup; network order, 0 on failure.
uint32_t ResolveIpv4(const std::string& text);
// Stands in for the system's lookup of a name in ResolveIpv4 (tests use it
// for a slow or failing resolver); an empty one restores the system's.
using HostLookup = std::function<uint32_t(const std::string& hostName)>;
void SetHostLookup(HostLookup lookup);
// Every IPv4 address of a host name, as dotted text, in the resolver's order.
std::vector<std::string> ResolveAllIpv4(const std::string& hostName);
// Host name of an address for display; the dotted text when it has none.
std::string ReverseLookup(uint32_t networkAddress);
// Stands in for the system's lookup in ReverseLookup (tests use it for a
// resolver that hangs); an empty one restores the system's.
using AddressLookup = std::function<std::string(uint32_t networkAddress)>;
void SetReverseLookup(AddressLookup lookup);
// The local interface address the system would use toward the peer (a
// throw-away socket is connected, never the SIP socket); 0 when none.
uint32_t LocalAddressToward(uint32_t peerAddress, uint16_t peerPort);
// This machine's host name, at most 259 characters.
std::string LocalHostName();

}  // namespace talvenor
