#include "sip/call_id_number.h"

#include <atomic>

#include "platform/clock.h"

namespace talvenor {

namespace {
// The last number handed out, with bit 32 set once there is one.
constexpr uint64_t kHandedOut = uint64_t{1} << 32;
std::atomic<uint64_t> lastNumber{0};
}  // namespace

uint32_t NewCallIdNumber() {
  uint64_t last = lastNumber.load();
  uint32_t next;
  do {
    next = TickMilliseconds();
    // Compared across the 32-bit wrap: a tick that is not ahead of the last
    // number handed out gives way to the number after it.
    uint32_t previous = static_cast<uint32_t>(last);
    if (last != 0 && static_cast<int32_t>(next - previous) <= 0) next = previous + 1;
  } while (!lastNumber.compare_exchange_weak(last, kHandedOut | next));
  return next;
}

}  // namespace talvenor
