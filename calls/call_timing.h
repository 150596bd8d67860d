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

// Sends a 2xx to an INVITE until `acknowledged` says its ACK came, as RFC
// 3261 13.3.1.4 has it: the repeat pause apart, doubling up to eight times
// it, for 64 times it in all (32 s). True when acknowledged.
bool RepeatUntilAcknowledged(const std::function<void()>& send, const std::function<bool()>& acknowledged);
void SetCallTiming(const CallTiming& timing);

}  // namespace talvenor
