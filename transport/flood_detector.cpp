#include "transport/flood_detector.h"

namespace talvenor {

bool FloodDetector::Count(uint32_t source, uint32_t tickMilliseconds) {
  bool inARow = CountInARow(source, tickMilliseconds);
  bool inWindow = CountInWindow(source, tickMilliseconds);
  return inARow || inWindow;
}

bool FloodDetector::CountInARow(uint32_t source, uint32_t tickMilliseconds) {
  if (source != source_) {
    source_ = source;
    start_ = tickMilliseconds;
    count_ = 0;
    return false;
  }
  if (++count_ <= 9) return false;
  // Unsigned difference: the tick wraps every 49.7 days.
  if (tickMilliseconds - start_ > 500) {
    source_ = 0;  // the sender's next datagram opens a new window
    return false;
  }
  return true;
}

bool FloodDetector::CountInWindow(uint32_t source, uint32_t tickMilliseconds) {
  // Fibonacci hashing spreads neighbouring addresses over the buckets.
  size_t bucket = static_cast<size_t>((source * 2654435769u) >> 24) % kBuckets;
  Window* ways = &windows_[bucket * kWays];
  Window* slot = nullptr;
  for (size_t way = 0; way < kWays; ++way) {
    if (ways[way].count != 0 && ways[way].source == source) {
      slot = &ways[way];
      break;
    }
  }
  if (slot == nullptr) {
    slot = &ways[0];
    for (size_t way = 0; way < kWays; ++way) {
      Window& candidate = ways[way];
      bool ended = candidate.count == 0 || tickMilliseconds - candidate.start > kWindowMilliseconds;
      if (ended) {
        slot = &candidate;
        break;
      }
      // The busiest windows stay: a sender's count must not be wiped by a
      // few others of its bucket taking turns with it.
      if (candidate.count < slot->count) slot = &candidate;
    }
    *slot = Window{source, tickMilliseconds, 0};
  } else if (tickMilliseconds - slot->start > kWindowMilliseconds) {
    *slot = Window{source, tickMilliseconds, 0};
  }
  return ++slot->count > kWindowLimit;
}

}  // namespace talvenor
