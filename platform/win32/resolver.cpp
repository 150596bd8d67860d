#include "platform/resolver.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <array>

#include "platform/endpoint.h"
#include "platform/resolver_hooks.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/winsock_use.h"

namespace talvenor {

namespace {

struct AddrInfoList {
  ADDRINFOW* head = nullptr;
  ~AddrInfoList() {
    if (head != nullptr) FreeAddrInfoW(head);
  }
};

// The wide calls take international host names; the module's text is UTF-8.
bool LookUp(const std::string& hostName, AddrInfoList& list) {
  if (hostName.empty()) return false;
  ADDRINFOW hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  return GetAddrInfoW(WideFromUtf8(hostName).c_str(), nullptr, &hints, &list.head) == 0;
}

uint32_t AddressOf(const ADDRINFOW& entry) {
  return reinterpret_cast<const sockaddr_in*>(entry.ai_addr)->sin_addr.s_addr;
}

}  // namespace

uint32_t ResolveIpv4(const std::string& text) {
  if (uint32_t dotted = ParseDottedAddress(text); dotted != 0) return dotted;
  if (HostLookup lookup = InstalledHostLookup()) return lookup(text);
  WinsockUse winsock;
  AddrInfoList list;
  if (!LookUp(text, list)) return 0;
  for (ADDRINFOW* entry = list.head; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET) return AddressOf(*entry);
  }
  return 0;
}

std::vector<std::string> ResolveAllIpv4(const std::string& hostName) {
  std::vector<std::string> addresses;
  WinsockUse winsock;
  AddrInfoList list;
  if (!LookUp(hostName, list)) return addresses;
  for (ADDRINFOW* entry = list.head; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET) continue;
    std::string dotted = DottedAddress(AddressOf(*entry));
    bool seen = false;
    for (const auto& known : addresses) seen = seen || known == dotted;
    if (!seen) addresses.push_back(dotted);
  }
  return addresses;
}

std::string ReverseLookup(uint32_t networkAddress) {
  if (AddressLookup lookup = InstalledReverseLookup()) return lookup(networkAddress);
  WinsockUse winsock;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = networkAddress;
  std::array<wchar_t, NI_MAXHOST> host{};
  if (GetNameInfoW(reinterpret_cast<sockaddr*>(&address), sizeof address, host.data(),
                   static_cast<DWORD>(host.size()), nullptr, 0, NI_NAMEREQD) == 0) {
    return Utf8FromWide(host.data());
  }
  return DottedAddress(networkAddress);
}

uint32_t LocalAddressToward(uint32_t peerAddress, uint16_t peerPort) {
  WinsockUse winsock;
  SOCKET probe = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (probe == INVALID_SOCKET) return 0;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_addr.s_addr = peerAddress;
  peer.sin_port = peerPort == 0 ? NetworkPort(5060) : peerPort;
  uint32_t local = 0;
  // connect() on UDP sends nothing; it only makes the system pick the route
  // and the source address. WSAENETUNREACH means no usable interface.
  if (connect(probe, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0) {
    sockaddr_in self{};
    int length = sizeof self;
    if (getsockname(probe, reinterpret_cast<sockaddr*>(&self), &length) == 0) local = self.sin_addr.s_addr;
  }
  closesocket(probe);
  return local;
}

std::string LocalHostName() {
  WinsockUse winsock;
  std::array<char, 260> name{};
  if (gethostname(name.data(), static_cast<int>(name.size() - 1)) != 0) return {};
  return name.data();
}

}  // namespace talvenor
