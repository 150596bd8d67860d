// The session description of a call. One fixed body serves as the offer of an
// outgoing INVITE, as the answer of an incoming one and as our offer in the
// 200 to an INVITE or re-INVITE without one: every payload type
// enabled for the call, in a fixed order of preference. From the peer's body
// the call takes the media address and the first type, in the peer's order,
// that is enabled here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/endpoint.h"

namespace talvenor {

class SipMessage;

// RTP payload types 0 to 18, the only ones with a name here.
inline constexpr int kNamedPayloadTypes = 19;
inline constexpr int kPayloadG711Ulaw = 0;
inline constexpr int kPayloadGsm = 3;
inline constexpr int kPayloadG711Alaw = 8;
inline constexpr int kPayloadG729 = 18;

// Whether each payload type 0 to 18 may be used by a call.
using PayloadTypeFlags = std::array<bool, kNamedPayloadTypes>;

// "PCMU/8000" for 0, "GSM/8000" for 3, "G729/8000" for 18; empty for a
// type without a name (19 and above, or below 0).
std::string_view PayloadName(int payloadType);

// The order of preference of the offer: G.729, GSM 06.10, G.711 A-law,
// G.711 mu-law; -1 marks an empty position.
inline constexpr std::array<int, kNamedPayloadTypes> kOfferOrder = {
    kPayloadG729, kPayloadGsm, kPayloadG711Alaw, kPayloadG711Ulaw, -1, -1, -1, -1, -1, -1,
    -1,           -1,          -1,               -1,               -1, -1, -1, -1, -1};

// The body: v=, o=Nuvex 1 <version> IN IP4 <ip>, s=-, c=IN IP4 <ip>, t=0 0,
// m=audio <port> RTP/AVP <types>, and one a=rtpmap line per listed type.
// While `g729Busy` (the one G.729 decoder is taken by another call) G.729 is
// left out. With no type enabled the media line ends in "RTP/AVP".
std::string BuildSdp(std::string_view localIp, uint16_t localRtpPort, const PayloadTypeFlags& enabled,
                     bool g729Busy, unsigned version = 1);

// Every "m=" line of a message's body, in order; none for a message without SDP.
std::vector<std::string> OfferedMediaLines(const SipMessage& message);
// Our one-stream body (BuildSdp, BuildSdpAnswer) laid out on the streams of
// the far end's latest offer (RFC 3264 6 and 8): one m= line for each offered
// one, in its place; the first audio stream is ours, every other one is
// refused with port 0. Unchanged when `offered` is empty.
std::string OnOfferedStreams(std::string_view body, const std::vector<std::string>& offered);

struct SdpMedia {
  uint8_t payloadType = 0;
  Ipv4Endpoint peer;  // network order
};

// The peer's media from the first "c=" and "m=audio" lines of a message: a
// dotted address other than 0.0.0.0 (never a name), a port from 1 to 65535,
// and the first format token that reads as an enabled type (a token that is
// no number reads as 0). Nothing when any of these is missing.
std::optional<SdpMedia> ParseSdp(const SipMessage& message, const PayloadTypeFlags& enabled);

// Which way the audio of a call flows, as an SDP attribute names it.
enum class MediaDirection { SendRecv, SendOnly, RecvOnly, Inactive };

// A new offer within a call (a re-INVITE or UPDATE): the types in the
// offer's order, where the media goes (address 0 for "c=IN IP4 0.0.0.0",
// the old way of holding) and the direction asked for.
struct SdpOffer {
  std::vector<int32_t> types;
  Ipv4Endpoint peer;
  MediaDirection direction = MediaDirection::SendRecv;
};
// Nothing without a dotted "c=" address and an "m=audio" port of 1 to 65535.
std::optional<SdpOffer> ReadSdpOffer(const SipMessage& message);
// The type an answer takes: `current` while the offer lists it, else the
// first one listed that is enabled; -1 when they share none.
int ChooseAnswerType(const SdpOffer& offer, const PayloadTypeFlags& enabled, int current);
// The direction that answers an offer: a far end that only sends (or holds
// with 0.0.0.0) is answered recvonly, inactive with inactive.
MediaDirection AnswerDirection(const SdpOffer& offer);
// An answer with one payload type, its rtpmap and the direction attribute;
// `version` is the o= line's session version.
std::string BuildSdpAnswer(std::string_view localIp, uint16_t localRtpPort, int payloadType, unsigned version,
                           MediaDirection direction);

}  // namespace talvenor
