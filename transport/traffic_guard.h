// The ban list, flood detector and message log between the receive checks
// and dispatch. Owned by the receive thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/endpoint.h"
#include "transport/flood_detector.h"

namespace talvenor {

// The two switches of the SIP Address page, as they stand for one datagram.
struct TrafficGuardSettings {
  bool banEnabled = false;
  bool logEnabled = false;
};

// Bans a sender the layers above caught (a password guesser) as the flood
// detector bans a flooder: its SIP-BAN line, unless an entry already
// matches, and with the log on the datagram's record marked "BANNED".
// Nothing while the ban list is off.
void BanSender(const TrafficGuardSettings& settings, std::string_view datagram, const Ipv4Endpoint& source);

class TrafficGuard {
public:
  // Asked once per datagram: the switches change while the thread runs.
  using SettingsSource = std::function<TrafficGuardSettings()>;
  explicit TrafficGuard(SettingsSource settings) : settings_(std::move(settings)) {}

  // The datagram's mark: empty lets it through to dispatch; "BANNED" means
  // the flood detector has just banned its sender; anything else is the date
  // of the ban-list entry that matched. Only an empty mark is dispatched.
  std::string Screen(std::string_view datagram, const Ipv4Endpoint& source);

private:
  SettingsSource settings_;
  FloodDetector flood_;
};

}  // namespace talvenor
