// The ban list, flood detector and message log between the receive checks
// and dispatch. Owned by the receive thread.
#pragma once

#include <string>
#include <string_view>

#include "platform/endpoint.h"
#include "transport/flood_detector.h"

namespace talvenor {

class TrafficGuard {
public:
  // The datagram's mark: empty lets it through to dispatch; "BANNED" means
  // the flood detector has just banned its sender; anything else is the date
  // of the ban-list entry that matched. Only an empty mark is dispatched.
  std::string Screen(std::string_view datagram, const Ipv4Endpoint& source);

private:
  FloodDetector flood_;
};

}  // namespace talvenor
