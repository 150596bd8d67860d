// Resolution over the system's lookups: dotted addresses as they stand, the
// lookups tests put in place, the first or every distinct answer.
#include "platform/resolver.h"

#include <algorithm>

#include "platform/endpoint.h"
#include "platform/resolver_hooks.h"
#include "platform/system_resolver.h"

namespace talvenor {

uint32_t ResolveIpv4(const std::string& text) {
  if (uint32_t dotted = ParseDottedAddress(text); dotted != 0) return dotted;
  if (HostLookup lookup = InstalledHostLookup()) return lookup(text);
  if (text.empty()) return 0;
  std::vector<uint32_t> found = SystemIpv4Addresses(text);
  return found.empty() ? 0 : found.front();
}

std::vector<std::string> ResolveAllIpv4(const std::string& hostName) {
  std::vector<std::string> addresses;
  if (hostName.empty()) return addresses;
  for (uint32_t address : SystemIpv4Addresses(hostName)) {
    std::string dotted = DottedAddress(address);
    if (std::find(addresses.begin(), addresses.end(), dotted) == addresses.end()) addresses.push_back(dotted);
  }
  return addresses;
}

std::string ReverseLookup(uint32_t networkAddress) {
  if (AddressLookup lookup = InstalledReverseLookup()) return lookup(networkAddress);
  return SystemHostName(networkAddress).value_or(DottedAddress(networkAddress));
}

}  // namespace talvenor
