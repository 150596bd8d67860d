#include "apps/nuvex-phone/local_endpoint.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "apps/nuvex-phone/module_profile.h"
#include "apps/nuvex-phone/phone_options.h"

namespace nuvex {

namespace {

struct BoundSocket {
  uint32_t address = 0;  // network order
  unsigned port = 0;
};

// The inode numbers of the process's sockets, from its descriptors' links ("socket:[INODE]").
std::set<unsigned long> OwnSocketInodes() {
  std::set<unsigned long> inodes;
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) return inodes;
  while (dirent* entry = readdir(folder)) {
    std::string path = std::string("/proc/self/fd/") + entry->d_name;
    char target[64];
    ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    if (length <= 0) continue;
    target[length] = '\0';
    unsigned long inode = 0;
    if (std::sscanf(target, "socket:[%lu]", &inode) == 1) inodes.insert(inode);
  }
  closedir(folder);
  return inodes;
}

// The process's IPv4 UDP sockets, from the kernel's table of its network
// namespace, in the table's order. Each line: "sl local rem st tx:rx tr:when
// retrnsmt uid timeout inode...", local as "0100007F:13C4" (hex, the address
// in network order as the machine stores it).
std::vector<BoundSocket> OwnUdpSockets() {
  std::set<unsigned long> inodes = OwnSocketInodes();
  std::vector<BoundSocket> sockets;
  std::ifstream table("/proc/self/net/udp");
  std::string line;
  std::getline(table, line);  // column titles
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
    unsigned long inode = 0;
    if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode)) {
      continue;
    }
    unsigned address = 0, port = 0;
    if (inodes.count(inode) == 0 || std::sscanf(local.c_str(), "%X:%X", &address, &port) != 2) continue;
    sockets.push_back({address, port});
  }
  return sockets;
}

std::string Dotted(uint32_t networkOrder) {
  char text[INET_ADDRSTRLEN] = {};
  in_addr address{networkOrder};
  return inet_ntop(AF_INET, &address, text, sizeof text) != nullptr ? text : "";
}

std::string InterfaceAddress() {
  ifaddrs* interfaces = nullptr;
  if (getifaddrs(&interfaces) != 0) return {};
  std::string found;
  for (ifaddrs* each = interfaces; each != nullptr && found.empty(); each = each->ifa_next) {
    if (each->ifa_addr == nullptr || each->ifa_addr->sa_family != AF_INET) continue;
    if (!(each->ifa_flags & IFF_UP) || (each->ifa_flags & IFF_LOOPBACK)) continue;
    found = Dotted(reinterpret_cast<sockaddr_in*>(each->ifa_addr)->sin_addr.s_addr);
  }
  freeifaddrs(interfaces);
  return found;
}

std::string HostName() {
  char name[256] = {};
  return gethostname(name, sizeof name - 1) == 0 ? name : "";
}

}  // namespace

LocalEndpoint FindLocalEndpoint() {
  unsigned configured = ConfiguredSipPort();
  std::vector<BoundSocket> sockets = OwnUdpSockets();
  BoundSocket sip{0, configured};
  bool bound = false;
  for (const BoundSocket& socket : sockets) {
    if (socket.port == configured) {
      sip = socket;
      bound = true;
    }
  }
  if (!bound && !sockets.empty()) {
    sip = sockets.front();
    bound = true;
  }
  LocalEndpoint endpoint;
  endpoint.port = sip.port;
  std::string address = ProfileAddress();
  if (bound && sip.address != 0) {
    endpoint.address = Dotted(sip.address);
  } else if (!address.empty() && address != HostName()) {
    endpoint.address = address;
  } else {
    endpoint.address = InterfaceAddress();
  }
  if (endpoint.address.empty()) endpoint.address = "127.0.0.1";
  return endpoint;
}

}  // namespace nuvex
