#include "module/guess_bans.h"

#include <chrono>

#include "module/settings_slices.h"
#include "sip/sip_message.h"
#include "transport/traffic_guard.h"

namespace talvenor {

int64_t SteadyMilliseconds() {
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
}

void BanGuessingSource(const SipMessage& request) {
  BanSender(CurrentTrafficGuardSettings(), request.Text(), Ipv4Endpoint{request.SourceAddress(), request.SourcePort()});
}

}  // namespace talvenor
