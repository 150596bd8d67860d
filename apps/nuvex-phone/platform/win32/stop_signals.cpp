#include "apps/nuvex-phone/platform/stop_signals.h"

#include <windows.h>

#include <atomic>

namespace nuvex {

namespace {

std::atomic<bool> stopAsked{false};

// The system calls this on a thread of its own. Ctrl-C and Ctrl-Break are
// taken and the phone goes on until the prompt's loop sees them. When the
// console closes or the user logs off, the process ends as soon as this
// returns: it waits instead, and the phone's own exit ends it once the
// module is down (or the system does, after its few seconds).
BOOL WINAPI OnConsoleControl(DWORD event) {
  stopAsked = true;
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(INFINITE);
  return TRUE;
}

}  // namespace

void BlockStopSignals() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

bool TakeStopSignal() { return stopAsked.exchange(false); }

}  // namespace nuvex
