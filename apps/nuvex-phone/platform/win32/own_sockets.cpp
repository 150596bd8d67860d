#include "apps/nuvex-phone/platform/own_sockets.h"

#include <winsock2.h>
#include <iphlpapi.h>

namespace nuvex {

// The system's table of UDP sockets with the process that owns each: this
// process's rows. Ports are in network order in the low 16 bits.
std::vector<BoundSocket> OwnUdpSockets() {
  std::vector<BoundSocket> sockets;
  std::vector<unsigned char> table;
  DWORD size = 0;
  DWORD result = ERROR_INSUFFICIENT_BUFFER;
  // The table may grow between the two calls: a few tries.
  for (int attempt = 0; attempt < 3 && result == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
    table.resize(size);
    result = GetExtendedUdpTable(table.empty() ? nullptr : table.data(), &size, FALSE, AF_INET,
                                 UDP_TABLE_OWNER_PID, 0);
  }
  if (result != NO_ERROR) return sockets;
  const auto* rows = reinterpret_cast<const MIB_UDPTABLE_OWNER_PID*>(table.data());
  const DWORD self = GetCurrentProcessId();
  for (DWORD index = 0; index < rows->dwNumEntries; ++index) {
    const MIB_UDPROW_OWNER_PID& row = rows->table[index];
    if (row.dwOwningPid != self) continue;
    sockets.push_back({row.dwLocalAddr, ntohs(static_cast<u_short>(row.dwLocalPort))});
  }
  return sockets;
}

}  // namespace nuvex
