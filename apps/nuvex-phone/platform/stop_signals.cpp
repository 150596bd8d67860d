#include "apps/nuvex-phone/platform/stop_signals.h"

#include <signal.h>

namespace nuvex {

namespace {

sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

}  // namespace

void BlockStopSignals() {
  sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

bool TakeStopSignal() {
  static const sigset_t signals = StopSignals();
  const timespec noWait{0, 0};
  return sigtimedwait(&signals, nullptr, &noWait) > 0;
}

}  // namespace nuvex
