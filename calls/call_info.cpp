#include "calls/call_info.h"

#include <fmt/printf.h>

#include "sip/sdp.h"

namespace talvenor {

std::string SipInfoText(const Ipv4Endpoint& sipPeer) {
  return fmt::sprintf("%s %s:%u", "SIP", DottedAddress(sipPeer.address), HostPort(sipPeer.port));
}

std::string ReceptionText(unsigned delayMilliseconds, unsigned lossPercent) {
  return fmt::format("; buffer {} ms, {} % lost", delayMilliseconds, lossPercent);
}

std::string RtpInfoText(int payloadType, const Ipv4Endpoint& rtpPeer) {
  std::string_view name = PayloadName(payloadType);
  std::string_view codec = name.empty() ? std::string_view("ERR") : name.substr(0, name.find('/'));
  return fmt::sprintf("%s\\%s %s:%u", "RTP", codec, DottedAddress(rtpPeer.address), HostPort(rtpPeer.port));
}

std::string WithPeerName(std::string_view text, std::string_view peerHostName) {
  return fmt::sprintf("%s (%s)", text, peerHostName);
}

}  // namespace talvenor
