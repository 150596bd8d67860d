#include "platform/win32/winsock_use.h"

#include <winsock2.h>

namespace talvenor {

WinsockUse::WinsockUse() {
  WSADATA data{};
  started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WinsockUse::~WinsockUse() {
  if (started_) WSACleanup();
}

}  // namespace talvenor
