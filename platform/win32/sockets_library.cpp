#include "platform/sockets_library.h"

#include <winsock2.h>

#include <mutex>

namespace talvenor {

namespace {

// The module's own starts of WinSock: each successful one is undone by one
// WSACleanup, and a failed one by none, which would otherwise take away a
// start that other code in the process made.
struct ModuleStarts {
  std::mutex mutex;
  int count = 0;
  WORD version = 0;
};

ModuleStarts& Starts() {
  static ModuleStarts* starts = new ModuleStarts;  // shutdown may run from an exit handler
  return *starts;
}

}  // namespace

bool StartSocketsLibrary() {
  WSADATA data{};
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  std::scoped_lock lock(Starts().mutex);
  ++Starts().count;
  Starts().version = data.wVersion;
  return true;
}

bool SocketsLibraryHasVersion22() {
  std::scoped_lock lock(Starts().mutex);
  return Starts().count > 0 && LOBYTE(Starts().version) == 2 && HIBYTE(Starts().version) == 2;
}

void CleanUpSocketsLibrary() {
  {
    std::scoped_lock lock(Starts().mutex);
    if (Starts().count == 0) return;
    --Starts().count;
  }
  WSACleanup();
}

}  // namespace talvenor
