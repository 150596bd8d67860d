// Spots a sender that floods the SIP port, by either of two rules:
// - more than ten datagrams in a row from one address within 500 ms of the
//   first;
// - more than kWindowLimit datagrams from one address within a one-second
//   window opened by its first, whatever came from others in between, so
//   that senders taking turns are caught as one sender would be. A busy
//   peer (a PBX with four calls, a registrar refreshing its phones) stays
//   far below it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace talvenor {

class FloodDetector {
public:
  static constexpr uint32_t kWindowLimit = 30;
  static constexpr uint32_t kWindowMilliseconds = 1000;

  // Counts one datagram from `source` (network order) arriving at
  // `tickMilliseconds`; true when the sender is now flooding.
  bool Count(uint32_t source, uint32_t tickMilliseconds);

private:
  bool CountInARow(uint32_t source, uint32_t tickMilliseconds);
  bool CountInWindow(uint32_t source, uint32_t tickMilliseconds);

  uint32_t source_ = 0;
  uint32_t start_ = 0;
  int count_ = 0;

  // The per-address windows: a fixed table of buckets of four, found by a
  // hash of the address; a newcomer takes a free or ended window in its
  // bucket, else the one that has counted least. No memory grows with traffic.
  struct Window {
    uint32_t source = 0;
    uint32_t start = 0;
    uint32_t count = 0;
  };
  static constexpr size_t kWays = 4;
  static constexpr size_t kBuckets = 256;
  std::array<Window, kWays * kBuckets> windows_{};
};

}  // namespace talvenor
