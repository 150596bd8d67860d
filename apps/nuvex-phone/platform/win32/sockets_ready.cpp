#include "apps/nuvex-phone/platform/win32/sockets_ready.h"

#include <winsock2.h>

namespace nuvex {

bool SocketsReady() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

}  // namespace nuvex
