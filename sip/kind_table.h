// The kind table: the 64 request methods and response status codes the
// module knows. A row's index is the kind code that dispatch, the handlers
// and the composers all switch on; -1 stands for anything else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace talvenor {

using SipKind = int32_t;

struct KindRow {
  std::string_view text;    // method name, or the three-digit status code
  std::string_view reason;  // reason phrase of a status row; empty for a method
};

inline constexpr size_t kKindCount = 64;
inline constexpr SipKind kNoKind = -1;

// Rows 0..13 are methods, 14..63 status codes in ascending order.
extern const KindRow KindTable[kKindCount];

inline constexpr SipKind kInvite = 0;
inline constexpr SipKind kCancel = 1;
inline constexpr SipKind kAck = 2;
inline constexpr SipKind kBye = 3;
inline constexpr SipKind kRegister = 4;
inline constexpr SipKind kSubscribe = 5;
inline constexpr SipKind kNotify = 6;
inline constexpr SipKind kPrack = 7;
inline constexpr SipKind kUpdate = 8;
inline constexpr SipKind kInfo = 9;
inline constexpr SipKind kOptions = 10;
inline constexpr SipKind kRefer = 11;
inline constexpr SipKind kPublish = 12;
inline constexpr SipKind kMessage = 13;
inline constexpr SipKind kLastMethod = kMessage;

inline constexpr SipKind kStatus100 = 14;
inline constexpr SipKind kStatus180 = 15;
inline constexpr SipKind kStatus181 = 16;
inline constexpr SipKind kStatus182 = 17;
inline constexpr SipKind kStatus183 = 18;
inline constexpr SipKind kStatus200 = 19;
inline constexpr SipKind kStatus400 = 25;
inline constexpr SipKind kStatus401 = 26;
inline constexpr SipKind kStatus402 = 27;
inline constexpr SipKind kStatus403 = 28;
inline constexpr SipKind kStatus404 = 29;
inline constexpr SipKind kStatus405 = 30;
inline constexpr SipKind kStatus406 = 31;
inline constexpr SipKind kStatus407 = 32;
inline constexpr SipKind kStatus408 = 33;
inline constexpr SipKind kStatus420 = 39;
inline constexpr SipKind kStatus423 = 41;
inline constexpr SipKind kStatus480 = 42;
inline constexpr SipKind kStatus481 = 43;
inline constexpr SipKind kStatus486 = 48;
inline constexpr SipKind kStatus487 = 49;
inline constexpr SipKind kStatus488 = 50;
inline constexpr SipKind kStatus491 = 51;
inline constexpr SipKind kStatus500 = 53;
inline constexpr SipKind kStatus503 = 56;
inline constexpr SipKind kStatus603 = 61;

constexpr bool IsKnownKind(SipKind kind) {
  return kind >= 0 && kind < static_cast<SipKind>(kKindCount);
}
constexpr bool IsMethodKind(SipKind kind) { return kind >= 0 && kind <= kLastMethod; }
constexpr bool IsStatusKind(SipKind kind) { return kind > kLastMethod && IsKnownKind(kind); }

// Method name or three-digit code of a row; empty for -1 and out of range.
std::string_view KindText(SipKind kind);
// Reason phrase of a status row; empty for a method, -1 and out of range.
std::string_view ReasonPhrase(SipKind kind);

}  // namespace talvenor
