#include "sip/sdp.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/sip/datagram_text.h"

namespace talvenor {
namespace {

PayloadTypeFlags Flags(std::initializer_list<int> types) {
  PayloadTypeFlags flags{};
  for (int type : types) flags[static_cast<size_t>(type)] = true;
  return flags;
}

TEST(BuildSdp, ListsEveryEnabledTypeInTheOrderOfPreference) {
  EXPECT_EQ(BuildSdp("10.0.0.2", 8000, Flags({0, 3, 8}), false),
            "v=0\r\no=Nuvex 1 1 IN IP4 10.0.0.2\r\ns=-\r\nc=IN IP4 10.0.0.2\r\nt=0 0\r\n"
            "m=audio 8000 RTP/AVP 3 8 0\r\n"
            "a=rtpmap:3 GSM/8000\r\na=rtpmap:8 PCMA/8000\r\na=rtpmap:0 PCMU/8000\r\n");
  const struct {
    PayloadTypeFlags enabled;
    bool g729Busy;
    std::string mediaAndAttributes;
  } cases[] = {
      {Flags({0, 3, 8, 18}), false,
       "m=audio 8002 RTP/AVP 18 3 8 0\r\na=rtpmap:18 G729/8000\r\na=rtpmap:3 GSM/8000\r\n"
       "a=rtpmap:8 PCMA/8000\r\na=rtpmap:0 PCMU/8000\r\n"},
      {Flags({0, 18}), true, "m=audio 8002 RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\n"},
      {Flags({}), false, "m=audio 8002 RTP/AVP\r\n"},
  };
  for (const auto& c : cases) {
    std::string body = BuildSdp("10.0.0.2", 8002, c.enabled, c.g729Busy);
    EXPECT_EQ(body.substr(body.find("m=audio")), c.mediaAndAttributes);
  }
}

TEST(ParseSdp, ThePeersOrderDecidesAmongTheEnabledTypes) {
  const struct {
    const char* connection;
    const char* media;
    PayloadTypeFlags enabled;
    std::optional<int> type;  // nothing: the SDP is refused
  } cases[] = {
      {"c=IN IP4 10.0.0.9", "m=audio 49170 RTP/AVP 97 8 0", Flags({0, 3, 8}), 8},
      {"c=IN IP4 10.0.0.9", "m=audio 49170 RTP/AVP 96 97", Flags({0, 3, 8}), std::nullopt},
      {"c=IN IP4 10.0.0.9", "m=audio 49170 RTP/AVP 18 4", Flags({0, 3, 8}), std::nullopt},
      {"c=IN IP4 10.0.0.9", "m=audio 49170 RTP/AVP telephone-event", Flags({0}), 0},
      {"c=IN IP4 0.0.0.0", "m=audio 49170 RTP/AVP 0", Flags({0}), std::nullopt},
      // A name is never looked up (on the receive thread a slow resolver
      // would hold up every call): the media is unusable.
      {"c=IN IP4 localhost", "m=audio 49170 RTP/AVP 0", Flags({0}), std::nullopt},
      {"c=IN IP4 10.0.0.9", "m=audio 0 RTP/AVP 0", Flags({0}), std::nullopt},
      {"c=IN IP4 10.0.0.9", "m=audio 70000 RTP/AVP 0", Flags({0}), std::nullopt},  // not port 4464
      {"c=IN IP4 10.0.0.9", "m=audio 49170 RTP/AVP", Flags({0}), std::nullopt},
  };
  for (const auto& c : cases) {
    SipMessage message = test::Message(
        test::Datagram({"SIP/2.0 200 OK", "Content-Type: application/sdp", "", "v=0", c.connection, c.media}));
    std::optional<SdpMedia> media = ParseSdp(message, c.enabled);
    ASSERT_EQ(media.has_value(), c.type.has_value()) << c.connection << " / " << c.media;
    if (!media) continue;
    EXPECT_EQ(media->payloadType, *c.type) << c.media;
    EXPECT_EQ(DottedAddress(media->peer.address), "10.0.0.9");
    EXPECT_EQ(HostPort(media->peer.port), 49170);
  }
}

}  // namespace
}  // namespace talvenor
