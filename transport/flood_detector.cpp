#include "transport/flood_detector.h"

namespace talvenor {

bool FloodDetector::Count(uint32_t source, uint32_t tickMilliseconds) {
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

}  // namespace talvenor
