// Spots a sender that floods the SIP port: more than ten datagrams in a row
// from one address within 500 ms of the first.
#pragma once

#include <cstdint>

namespace talvenor {

class FloodDetector {
public:
  // Counts one datagram from `source` (network order) arriving at
  // `tickMilliseconds`; true when the sender is now flooding.
  bool Count(uint32_t source, uint32_t tickMilliseconds);

private:
  uint32_t source_ = 0;
  uint32_t start_ = 0;
  int count_ = 0;
};

}  // namespace talvenor
