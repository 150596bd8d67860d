// Builds datagram text for the sip/ tests: lines joined with CR LF, an empty
// entry giving the blank line before a body.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "sip/sip_message.h"

namespace talvenor::test {

inline std::string Datagram(std::initializer_list<std::string_view> lines,
                            std::string_view lineEnd = "\r\n") {
  std::string text;
  for (std::string_view line : lines) {
    text.append(line);
    text.append(lineEnd);
  }
  return text;
}

inline constexpr uint32_t kPeerAddress = 0x0700000a;  // 10.0.0.7, network order
inline constexpr uint16_t kPeerPort = 0xc413;         // 5060, network order

inline SipMessage Message(std::string_view text) {
  return SipMessage(text, kPeerAddress, kPeerPort);
}

}  // namespace talvenor::test
