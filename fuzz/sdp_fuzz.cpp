// The session description: ParseSdp on arbitrary bodies, and what BuildSdp
// writes read back by ParseSdp.
//
// Input: 12 bytes of settings, then the body of an INVITE.
//   bytes 0-2: the payload types 0 to 18 enabled here (bit n for type n)
//   bytes 3-5: the types the far end offers with BuildSdp; bit 23 marks its
//              G.729 decoder busy
//   bytes 6-9: the far end's address (network order), 10-11 its RTP port
// Only a dotted "c=" address is usable: a host name is never looked up.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/endpoint.h"
#include "sip/recipes.h"
#include "sip/sdp.h"
#include "sip/sip_message.h"
#include "sip/tokens.h"

namespace {

using namespace talvenor;

constexpr size_t kSettingsBytes = 12;
// The receive thread never hands over more than this.
constexpr size_t kLargestDatagram = 1499;
constexpr std::string_view kInviteHeader =
    "INVITE sip:desk@192.0.2.1 SIP/2.0\r\n"
    "Via: SIP/2.0/UDP 192.0.2.9:5060;branch=z9hG4bK-sdp\r\n"
    "From: <sip:far@192.0.2.9>;tag=1\r\n"
    "To: <sip:desk@192.0.2.1>\r\n"
    "Call-ID: sdp@192.0.2.9\r\n"
    "CSeq: 1 INVITE\r\n"
    "Content-Type: application/sdp\r\n"
    "\r\n";

PayloadTypeFlags Flags(const uint8_t* bytes) {
  uint32_t bits = bytes[0] | (bytes[1] << 8) | (uint32_t{bytes[2]} << 16);
  PayloadTypeFlags flags{};
  for (int type = 0; type < kNamedPayloadTypes; ++type) flags[static_cast<size_t>(type)] = (bits >> type) & 1;
  return flags;
}

bool Enabled(const PayloadTypeFlags& flags, int32_t type) {
  return type >= 0 && type < kNamedPayloadTypes && flags[static_cast<size_t>(type)];
}

// Any body: what ParseSdp gives is what the lines say, and it refuses only
// what it must.
void CheckParse(const SipMessage& message, const PayloadTypeFlags& enabled) {
  std::optional<SdpMedia> media = ParseSdp(message, enabled);
  uint32_t address = ParseDottedAddress(SdpConnectionAddress(message));  // names are never looked up
  int32_t port = SdpMediaPort(message);
  std::optional<int32_t> chosen;
  for (int32_t type : SdpPayloadTypes(message)) {
    if (Enabled(enabled, type)) {
      chosen = type;
      break;
    }
  }
  bool usable = address != 0 && port >= 1 && port <= 65535 && chosen.has_value();
  if (media.has_value() != usable) __builtin_trap();
  if (!media) return;
  if (media->payloadType != *chosen || media->peer.address != address ||
      HostPort(media->peer.port) != static_cast<uint16_t>(port)) {
    __builtin_trap();
  }
}

// BuildSdp's body, as the far end would send it, read here.
void CheckRoundTrip(const uint8_t* settings, const PayloadTypeFlags& enabled) {
  PayloadTypeFlags offered = Flags(settings + 3);
  bool g729Busy = (settings[5] & 0x80) != 0;
  uint32_t address = settings[6] | (settings[7] << 8) | (settings[8] << 16) | (uint32_t{settings[9]} << 24);
  auto port = static_cast<uint16_t>(settings[10] << 8 | settings[11]);
  std::string body = BuildSdp(DottedAddress(address), port, offered, g729Busy);
  SipMessage message(std::string(kInviteHeader) + body, 0x0900000a, NetworkPort(5060));

  // The offer: every type offered in the order of preference, G.729 left out
  // while busy, each with its rtpmap line.
  std::vector<int32_t> listed;
  for (int type : kOfferOrder) {
    if (Enabled(offered, type) && !(g729Busy && type == kPayloadG729)) listed.push_back(type);
  }
  if (SdpPayloadTypes(message) != listed) __builtin_trap();
  for (int32_t type : listed) {
    std::string rtpmap = "a=rtpmap:" + std::to_string(type) + " " + std::string(PayloadName(type)) + "\r\n";
    if (body.find(rtpmap) == std::string::npos) __builtin_trap();
  }

  std::optional<int32_t> chosen;
  for (int32_t type : listed) {
    if (Enabled(enabled, type)) {
      chosen = type;
      break;
    }
  }
  std::optional<SdpMedia> media = ParseSdp(message, enabled);
  bool usable = address != 0 && port != 0 && chosen.has_value();
  if (media.has_value() != usable) __builtin_trap();
  if (media && (media->payloadType != *chosen || media->peer.address != address || media->peer.port != NetworkPort(port))) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kSettingsBytes || size - kSettingsBytes + kInviteHeader.size() > kLargestDatagram) return -1;
  PayloadTypeFlags enabled = Flags(data);
  std::string text(kInviteHeader);
  text.append(reinterpret_cast<const char*>(data) + kSettingsBytes, size - kSettingsBytes);
  SipMessage message(text, 0x0900000a, NetworkPort(5060));
  CheckParse(message, enabled);
  CheckRoundTrip(data, enabled);
  return 0;
}
