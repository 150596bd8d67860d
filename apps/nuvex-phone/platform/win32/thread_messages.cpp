#include "apps/nuvex-phone/platform/thread_messages.h"

#include <windows.h>

namespace nuvex {

bool ThreadTakesMessages() { return true; }

void HandleThreadMessages(int timeoutMs) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs), QS_ALLINPUT);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace nuvex
