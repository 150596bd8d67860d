// The resolver's calls of the system (WinSock).
#include "platform/system_resolver.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <array>

#include "platform/endpoint.h"
#include "platform/resolver.h"
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

}  // namespace

// The wide calls take international host names; the module's text is UTF-8.
std::vector<uint32_t> SystemIpv4Addresses(const std::string& hostName) {
  std::vector<uint32_t> addresses;
  WinsockUse winsock;
  ADDRINFOW hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  AddrInfoList list;
  if (GetAddrInfoW(WideFromUtf8(hostName).c_str(), nullptr, &hints, &list.head) != 0) return addresses;
  for (ADDRINFOW* entry = list.head; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET) continue;
    addresses.push_back(reinterpret_cast<sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
  }
  return addresses;
}

std::optional<std::string> SystemHostName(uint32_t networkAddress) {
  WinsockUse winsock;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = networkAddress;
  std::array<wchar_t, NI_MAXHOST> host{};
  if (GetNameInfoW(reinterpret_cast<sockaddr*>(&address), sizeof address, host.data(),
                   static_cast<DWORD>(host.size()), nullptr, 0, NI_NAMEREQD) != 0) {
    return std::nullopt;
  }
  return Utf8FromWide(host.data());
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
