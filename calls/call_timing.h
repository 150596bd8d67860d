// The pacing of calls: how often a request or final response is repeated,
// and how many silent timer ticks end a call. Tests shorten them, so that a
// call test takes seconds.
#pragma once

#include <chrono>

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
void SetCallTiming(const CallTiming& timing);

}  // namespace talvenor
