#include "sip/sdp.h"

#include <fmt/printf.h>

#include <algorithm>

#include "sip/recipes.h"
#include "sip/sip_message.h"
#include "sip/tokens.h"

namespace talvenor {

namespace {

constexpr std::array<std::string_view, kNamedPayloadTypes> kPayloadNames = {
    "PCMU/8000",   "RES",         "G726-32/8000",     "GSM/8000",         "G723/8000",
    "DVI4_8KHz/8000", "DVI4_16KHz/16000", "LPC/8000",  "PCMA/8000",        "G722/8000",
    "L16_2/44000", "L16/44000",   "QCELP/8000",       "CN/8000",          "MPA/90000",
    "G728/8000",   "DVI4_11KHz/11000", "DVI4_22KHz/22000", "G729/8000"};

constexpr int32_t kHighestPort = 65535;

bool Enabled(const PayloadTypeFlags& enabled, int32_t type) {
  return type >= 0 && type < kNamedPayloadTypes && enabled[static_cast<size_t>(type)];
}

}  // namespace

std::string_view PayloadName(int payloadType) {
  return payloadType >= 0 && payloadType < kNamedPayloadTypes ? kPayloadNames[static_cast<size_t>(payloadType)]
                                                              : std::string_view{};
}

std::string BuildSdp(std::string_view localIp, uint16_t localRtpPort, const PayloadTypeFlags& enabled,
                     bool g729Busy, unsigned version) {
  std::string formats;
  std::string attributes;
  // G.729 heads the order; while its decoder is busy the list starts after it.
  for (size_t position = g729Busy ? 1 : 0; position < kOfferOrder.size(); ++position) {
    int type = kOfferOrder[position];
    if (!Enabled(enabled, type)) continue;
    formats += fmt::sprintf(" %u", type);
    attributes += fmt::sprintf("a=rtpmap:%u %s\r\n", type, PayloadName(type));
  }
  return fmt::sprintf("v=0\r\n%sNuvex 1 %u IN IP4 %s\r\ns=-\r\nc=IN IP4 %s\r\nt=0 0\r\nm=audio %u RTP/AVP%s\r\n%s",
                      "o=", version, localIp, localIp, localRtpPort, formats, attributes);
}

std::vector<std::string> OfferedMediaLines(const SipMessage& message) {
  std::vector<std::string> lines;
  for (size_t index = 1; index < message.LineCount(); ++index) {
    std::string_view line = message.LineAt(index);
    if (line.starts_with("m=")) lines.emplace_back(line);
  }
  return lines;
}

std::string OnOfferedStreams(std::string_view body, const std::vector<std::string>& offered) {
  size_t audioAt = body.find("m=audio ");
  bool audioOffered = std::any_of(offered.begin(), offered.end(),
                                  [](std::string_view line) { return line.starts_with("m=audio "); });
  if (!audioOffered || audioAt == std::string_view::npos) return std::string(body);
  std::string laidOut(body.substr(0, audioAt));
  bool audioPlaced = false;
  for (std::string_view line : offered) {
    if (!audioPlaced && line.starts_with("m=audio ")) {
      audioPlaced = true;
      laidOut += body.substr(audioAt);
      continue;
    }
    // "m=<media> <port> <proto> <formats>": refused, the port becomes 0.
    size_t portAt = line.find(' ');
    size_t portEnd = portAt == std::string_view::npos ? portAt : line.find(' ', portAt + 1);
    if (portEnd == std::string_view::npos) continue;  // no stream a peer could name
    laidOut += fmt::sprintf("%s 0%s\r\n", line.substr(0, portAt), line.substr(portEnd));
  }
  return laidOut;
}

std::optional<SdpMedia> ParseSdp(const SipMessage& message, const PayloadTypeFlags& enabled) {
  // A dotted address only: a host name would be looked up on the receive
  // thread, and a resolver that takes its time would stall every call.
  uint32_t address = ParseDottedAddress(SdpConnectionAddress(message));
  if (address == 0) return std::nullopt;  // a name, or 0.0.0.0 (on hold)
  // A port beyond 16 bits is no port: taking its low bits would send the
  // media somewhere else.
  int32_t port = SdpMediaPort(message);
  if (port < 1 || port > kHighestPort) return std::nullopt;
  std::string_view mediaLine = SdpMediaLine(message);
  for (int index = 0;; ++index) {
    std::string_view token = SdpPayloadTypeToken(mediaLine, index);
    if (token.empty()) return std::nullopt;
    int32_t type = DecimalValue(token);
    if (Enabled(enabled, type)) {
      return SdpMedia{static_cast<uint8_t>(type), {address, NetworkPort(static_cast<uint16_t>(port))}};
    }
  }
}

std::optional<SdpOffer> ReadSdpOffer(const SipMessage& message) {
  std::string_view connection = SdpConnectionAddress(message);
  uint32_t address = ParseDottedAddress(connection);
  if (address == 0 && connection != "0.0.0.0") return std::nullopt;
  int32_t port = SdpMediaPort(message);
  if (port < 1 || port > kHighestPort) return std::nullopt;
  SdpOffer offer{SdpPayloadTypes(message), {address, NetworkPort(static_cast<uint16_t>(port))}, {}};
  constexpr std::pair<std::string_view, MediaDirection> kAttributes[] = {{"a=sendonly", MediaDirection::SendOnly},
                                                                         {"a=recvonly", MediaDirection::RecvOnly},
                                                                         {"a=inactive", MediaDirection::Inactive}};
  for (const auto& [attribute, direction] : kAttributes) {
    if (!message.FindLine(attribute).empty()) offer.direction = direction;
  }
  return offer;
}

int ChooseAnswerType(const SdpOffer& offer, const PayloadTypeFlags& enabled, int current) {
  if (std::find(offer.types.begin(), offer.types.end(), current) != offer.types.end() && Enabled(enabled, current)) {
    return current;
  }
  for (int32_t type : offer.types) {
    if (Enabled(enabled, type)) return type;
  }
  return -1;
}

MediaDirection AnswerDirection(const SdpOffer& offer) {
  if (offer.direction == MediaDirection::Inactive) return MediaDirection::Inactive;
  if (offer.direction == MediaDirection::SendOnly || offer.peer.address == 0) return MediaDirection::RecvOnly;
  if (offer.direction == MediaDirection::RecvOnly) return MediaDirection::SendOnly;
  return MediaDirection::SendRecv;
}

std::string BuildSdpAnswer(std::string_view localIp, uint16_t localRtpPort, int payloadType, unsigned version,
                           MediaDirection direction) {
  constexpr std::string_view kDirections[] = {"sendrecv", "sendonly", "recvonly", "inactive"};
  return fmt::sprintf(
      "v=0\r\n%sNuvex 1 %u IN IP4 %s\r\ns=-\r\nc=IN IP4 %s\r\nt=0 0\r\nm=audio %u RTP/AVP %u\r\n"
      "a=rtpmap:%u %s\r\na=%s\r\n",
      "o=", version, localIp, localIp, localRtpPort, payloadType, payloadType, PayloadName(payloadType),
      kDirections[static_cast<int>(direction)]);
}

}  // namespace talvenor
