// One received SIP datagram kept as text: its non-empty lines in received
// order (a folded header line unfolded into one), the address it came from,
// and its kind code once classified.
// Headers are never parsed into fields; handlers pull values out of the
// lines with FindLine, LineAt and NthToken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "sip/kind_table.h"

namespace talvenor {

class SipMessage {
public:
  // text is the datagram as received; it ends at its first NUL byte. Both
  // source values are in network byte order.
  SipMessage(std::string_view text, uint32_t sourceAddress, uint16_t sourcePort);

  SipMessage(const SipMessage&) = delete;
  SipMessage& operator=(const SipMessage&) = delete;
  // Moving keeps every view handed out so far valid: the text does not move.
  SipMessage(SipMessage&&) noexcept = default;
  SipMessage& operator=(SipMessage&&) noexcept = default;

  // The kind table row of the start line, or -1. Classifies on first use and
  // keeps only a successful result. A message is read by one thread at a
  // time (dispatch), so the cache needs no lock.
  SipKind Kind() const;

  // The whole first line whose first name.size() bytes equal name ignoring
  // ASCII case ("expires" finds 'Expires: 60'), or, for a name with a
  // compact form (header_names.h), that form: "From" finds 'f: <sip:a@h>'.
  // Empty when none does.
  std::string_view FindLine(std::string_view name) const;
  // Line at a 0-based position (0 is the start line); empty past the end.
  std::string_view LineAt(size_t index) const;
  size_t LineCount() const { return lines_.size(); }

  // The datagram's text up to its first NUL, as received.
  std::string_view Text() const { return text_ ? std::string_view(text_.get(), textSize_) : std::string_view(); }
  uint32_t SourceAddress() const { return sourceAddress_; }
  uint16_t SourcePort() const { return sourcePort_; }

  // Views returned by this class live as long as the message.

private:
  std::unique_ptr<char[]> text_;
  size_t textSize_ = 0;
  std::vector<std::string_view> lines_;
  uint32_t sourceAddress_;
  uint16_t sourcePort_;
  mutable SipKind kind_ = kNoKind;
};

// The kind of a start line alone, by the same rule as SipMessage::Kind().
SipKind ClassifyStartLine(std::string_view startLine);

}  // namespace talvenor
