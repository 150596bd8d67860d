#include "apps/nuvex-phone/platform/own_sockets.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace nuvex {

namespace {

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

}  // namespace

// From the kernel's table of the process's network namespace. Each line:
// "sl local rem st tx:rx tr:when retrnsmt uid timeout inode...", local as
// "0100007F:13C4" (hex, the address in network order as the machine stores it).
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

}  // namespace nuvex
