// This machine's name and addresses, and names looked up in the system's
// resolver.
#pragma once

#include <cstdint>
#include <string>

namespace nuvex {

// The IPv4 address in dotted form.
std::string DottedAddress(uint32_t networkOrder);
// The first IPv4 address of an interface that is up and not loopback; empty
// when there is none.
std::string InterfaceAddress();
// This machine's host name; empty when unknown.
std::string HostName();
// Whether the host name (or dotted address) has an IPv4 address.
bool ResolvesToIPv4(const std::string& host);

}  // namespace nuvex
