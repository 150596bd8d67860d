// The system's own lookups, under the resolver of resolver.h (which adds
// dotted addresses, the tests' stand-ins and the order of answers).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace talvenor {

// The IPv4 answers of the system's lookup of a host name, network order, in
// the resolver's order (repeats kept); empty when the lookup fails.
std::vector<uint32_t> SystemIpv4Addresses(const std::string& hostName);
// The host name the system finds for an address; nullopt when it has none.
std::optional<std::string> SystemHostName(uint32_t networkAddress);

}  // namespace talvenor
