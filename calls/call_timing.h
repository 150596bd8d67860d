// The pacing of calls: how often a request or final response is repeated,
// and how many silent timer ticks end a call. Tests shorten them, so that a
// call test takes seconds.
#pragma once

#include <chrono>
#include <functional>

namespace talvenor {

struct CallTiming {
  std::chrono::milliseconds repeatPause{500};  // between repetitions of a request
  int repetitions = 6;
  unsigned idleTickLimit = 30;  // a call is hung up on the tick after more than this many
  // An incoming call left ringing is refused on the tick after this many:
  // three minutes of 888 ms ticks.
  unsigned ringTickLimit = 203;
};

CallTiming CurrentCallTiming();

// Sends a 2xx to an INVITE until `acknowledged` says its ACK came: the
// repeat pause apart, doubling up to eight times it, for 64 times it in all
// (32 s). A lost 2xx is sent again soon, a lost ACK does not flood the far
// end, and a caller that never acknowledges is given up on when its own
// INVITE transaction would have. True when acknowledged.
bool RepeatUntilAcknowledged(const std::function<void()>& send, const std::function<bool()>& acknowledged);
void SetCallTiming(const CallTiming& timing);

}  // namespace talvenor
