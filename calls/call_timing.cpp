#include "calls/call_timing.h"

#include <mutex>

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

}  // namespace talvenor
