// The connection information text the host shows for a call.
#pragma once

#include <string>
#include <string_view>

#include "platform/endpoint.h"

namespace talvenor {

// What a line last showed the host, kept for the texts that add to it.
struct ShownInfo {
  std::string text;          // the connection text
  std::string peerHostName;  // the peer's name, once a reverse lookup found it
};

// "SIP 10.0.0.9:5060": where the call's SIP goes.
std::string SipInfoText(const Ipv4Endpoint& sipPeer);
// "RTP\PCMA 10.0.0.9:8000": the codec the far end sends and where from; the
// codec is the payload's name up to its "/", "ERR" for a type without one.
std::string RtpInfoText(int payloadType, const Ipv4Endpoint& rtpPeer);
// "; buffer 80 ms, 3 % lost": how the reception goes, after the RTP text.
std::string ReceptionText(unsigned delayMilliseconds, unsigned lossPercent);
// The text with " (name)" once a reverse lookup found the peer's name.
std::string WithPeerName(std::string_view text, std::string_view peerHostName);

}  // namespace talvenor
