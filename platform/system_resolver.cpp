// The resolver's calls of the system (Linux).
#include "platform/system_resolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>

#include "platform/resolver.h"

namespace talvenor {

namespace {

struct AddrInfoList {
  addrinfo* head = nullptr;
  ~AddrInfoList() {
    if (head != nullptr) freeaddrinfo(head);
  }
};

}  // namespace

std::vector<uint32_t> SystemIpv4Addresses(const std::string& hostName) {
  std::vector<uint32_t> addresses;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  AddrInfoList list;
  if (getaddrinfo(hostName.c_str(), nullptr, &hints, &list.head) != 0) return addresses;
  for (addrinfo* entry = list.head; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET) continue;
    addresses.push_back(reinterpret_cast<sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
  }
  return addresses;
}

std::optional<std::string> SystemHostName(uint32_t networkAddress) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = networkAddress;
  std::array<char, NI_MAXHOST> host{};
  if (getnameinfo(reinterpret_cast<sockaddr*>(&address), sizeof address, host.data(), host.size(),
                  nullptr, 0, NI_NAMEREQD) != 0) {
    return std::nullopt;
  }
  return std::string(host.data());
}

uint32_t LocalAddressToward(uint32_t peerAddress, uint16_t peerPort) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (fd < 0) return 0;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_addr.s_addr = peerAddress;
  peer.sin_port = peerPort == 0 ? htons(5060) : peerPort;
  uint32_t local = 0;
  // connect() on UDP sends nothing; it only makes the kernel pick the route
  // and the source address. ENETUNREACH means no usable interface.
  if (connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0) {
    sockaddr_in self{};
    socklen_t length = sizeof self;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&self), &length) == 0) local = self.sin_addr.s_addr;
  }
  close(fd);
  return local;
}

std::string LocalHostName() {
  std::array<char, 260> name{};
  if (gethostname(name.data(), name.size() - 1) != 0) return {};
  return name.data();
}

}  // namespace talvenor
