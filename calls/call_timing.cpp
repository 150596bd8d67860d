#include "calls/call_timing.h"

#include <algorithm>
#include <mutex>
#include <thread>

namespace talvenor {

namespace {

struct TimingSlot {
  std::mutex mutex;
  CallTiming timing;
};

TimingSlot& Slot() {
  static TimingSlot* slot = new TimingSlot;  // read by call threads that may outlive exit
  return *slot;
}

}  // namespace

CallTiming CurrentCallTiming() {
  std::scoped_lock lock(Slot().mutex);
  return Slot().timing;
}

void SetCallTiming(const CallTiming& timing) {
  std::scoped_lock lock(Slot().mutex);
  Slot().timing = timing;
}

bool RepeatUntilAcknowledged(const std::function<void()>& send, const std::function<bool()>& acknowledged) {
  // T1 apart, doubling up to T2 (8 T1), for 64 T1: the caller's INVITE
  // transaction waits 64 T1 for an answer, so longer would reach nobody.
  std::chrono::milliseconds t1 = CurrentCallTiming().repeatPause;
  std::chrono::milliseconds pause = t1, waited{0};
  constexpr std::chrono::milliseconds kStep{10};
  while (waited < 64 * t1) {
    send();
    for (auto slept = std::chrono::milliseconds{0}; slept < pause; slept += kStep) {
      if (acknowledged()) return true;
      std::this_thread::sleep_for(std::min(kStep, pause - slept));
    }
    waited += pause;
    pause = std::min(2 * pause, 8 * t1);
  }
  return acknowledged();
}

}  // namespace talvenor
