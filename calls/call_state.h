// The state of a call and the reasons a call ends, as the host hears them.
#pragma once

#include <cstdint>

namespace talvenor {

// Moves only forward: Setup (calling, ringing or offered to the host) →
// Answered (an incoming call the host answered) → Connected.
enum class CallState : uint8_t { Setup = 0, Answered = 1, Connected = 2 };

// The int handed to OnDisconnected. A host that declines an incoming call
// gives a value of its own, which is handed back unchanged.
inline constexpr int kEndNormal = 0;
inline constexpr int kEndUnavailable = 2;  // the far end answered 480
inline constexpr int kEndUnreachable = 3;
inline constexpr int kEndNoResponse = 4;
inline constexpr int kEndBusy = 5;  // the far end answered 486
inline constexpr int kEndFailed = 6;
inline constexpr int kEndMediaError = 7;

}  // namespace talvenor
