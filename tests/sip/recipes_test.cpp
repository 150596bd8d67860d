#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "sip/recipes.h"
#include "tests/sip/datagram_text.h"

namespace talvenor {
namespace {

using test::Datagram;
using test::Message;

const std::string kInviteText = Datagram({
    "INVITE sip:lab@10.0.0.1 SIP/2.0",
    "Via: SIP/2.0/UDP 10.0.0.7:5062;branch=z9hG4bK77",
    "To: <sip:lab@10.0.0.1>",
    "From: \"Front Desk\" <sip:desk@10.0.0.7>;tag=1",
    "Call-ID: 99@10.0.0.7",
    "CSeq: 1 INVITE",
    "Contact: <sip:desk@10.0.0.7:5062>",
    "Content-Type: application/sdp",
    "Content-Length: 100",
    "",
    "v=0",
    "o=- 1 1 IN IP4 10.0.0.7",
    "c=IN IP4 10.0.0.5",
    "t=0 0",
    "m=video 51372 RTP/AVP 31",
    "m=audio 49170 RTP/AVP 0 8",
    "c=IN IP4 10.0.0.6",
});

TEST(RecipesTest, InviteValues) {
  SipMessage message = Message(kInviteText);
  EXPECT_EQ(CalledUserAndHost(message), "lab@10.0.0.1");
  EXPECT_EQ(CallerUser(message), "desk");
  // A quoted name of several words arrives as its first word.
  EXPECT_EQ(CallerDisplayName(message), "Front");
  // The Contact port is dropped.
  EXPECT_EQ(RemoteTarget(message), "desk@10.0.0.7");
  // The first c= line wins, though the later one belongs to the audio.
  EXPECT_EQ(SdpConnectionAddress(message), "10.0.0.5");
  EXPECT_EQ(SdpMediaPort(message), 49170);
  EXPECT_EQ(SdpPayloadTypes(message), (std::vector<int32_t>{0, 8}));
  EXPECT_EQ(SdpPayloadTypeToken(SdpMediaLine(message), 1), "8");
  EXPECT_EQ(SdpPayloadTypeToken(SdpMediaLine(message), 2), "");
  EXPECT_EQ(SdpPayloadTypeToken(SdpMediaLine(message), -1), "");
  EXPECT_EQ(UserAgentText(message), "");
}

TEST(RecipesTest, EachRecipeOnItsOwnLine) {
  const struct {
    std::string_view line;
    std::string_view (*recipe)(const SipMessage&);
    std::string_view expected;
  } cases[] = {
      {"CSeq: 2 REGISTER", CseqMethod, "REGISTER"},
      {"c=IN IP4 10.0.0.5", SdpConnectionAddress, "10.0.0.5"},
      {"To: <sip:lab@h>;tag=9", StatelessAckTarget, "lab@h"},
      {"To: <sip:lab@h:5070>;tag=9", StatelessAckTarget, "lab@h"},
      {"Contact: <sip:desk@10.0.0.7:5062>", RemoteTarget, "desk@10.0.0.7"},
      {"From: <sip:desk@h>;tag=1", CallerUser, "desk"},
      {"From: \"Desk\" <sip:a@h>", CallerDisplayName, "Desk"},
      {"From: <sip:a@h>", CallerDisplayName, ""},
      {"From: <SIP:a@h>", CallerDisplayName, ""},
      {"To: \"Desk\" <sip:a@h>", RegistrationDisplayName, "Desk"},
      {"To: <sip:a@h>", RegistrationDisplayName, "sip"},
      {"To: <sip:desk@h>", RegistrationUser, "desk"},
      {"To: <sips:desk@h>", RegistrationUser, ""},
      {"To: <sip:desk;x=1@h>", RegistrationUser, "desk"},
      {"User-Agent: Phone 1.0", UserAgentText, "Phone 1.0"},
      {"User-Agent:   Phone 1.0\t ", UserAgentText, "Phone 1.0"},
      {"User-Agent: Phone/1.0 (build:7)", UserAgentText, "Phone/1.0 (build"},
      // A tag is a header parameter: the URI's own parameters and a quoted
      // name do not count; a second value of the line is not this one's.
      {"From: \"a;tag=x, b\" <sip:a@h;tag=uri>;Tag = 77;x=1", FromTag, "77"},
      {"From: <sip:a@h>;tagx=1;tag=", FromTag, ""},
      {"To: sip:a@h;tag=9 ", ToTag, "9"},
      {"To: <sip:a@h>", ToTag, ""},
      {"Via: SIP/2.0/UDP h:5060;rport;branch=z9hG4bK7", TopViaBranch, "z9hG4bK7"},
      {"Via: SIP/2.0/UDP h, SIP/2.0/UDP g;branch=z9hG4bK8", TopViaBranch, ""},
      // Compact forms, and a line folded onto the next.
      {"v: SIP/2.0/UDP h;branch=z9hG4bK9", TopViaBranch, "z9hG4bK9"},
      {"f: \"Desk\" <sip:desk@h>;tag=1", CallerUser, "desk"},
      {"f: <sip:a@h>;tag=5", FromTag, "5"},
      {"t: <sip:lab@h>;tag=9", StatelessAckTarget, "lab@h"},
      {"m: <sip:desk@10.0.0.7:5062>", RemoteTarget, "desk@10.0.0.7"},
      {"m: <sip:desk@10.0.0.7:5062>", ContactUri, "sip:desk@10.0.0.7:5062"},
      {"From: <sip:a@h>\r\n ;tag=77", FromTag, "77"},
  };
  for (const auto& c : cases) {
    SipMessage message = Message(Datagram({"OPTIONS sip:h SIP/2.0", c.line}));
    EXPECT_EQ(c.recipe(message), c.expected) << c.line;
  }
}

TEST(RecipesTest, NumbersOfTheirLines) {
  const struct {
    std::string_view line;
    int32_t (*recipe)(const SipMessage&);
    int32_t expected;
  } cases[] = {
      {"Min-Expires: 60", MinExpires, 60},
      {"CSeq: 4711 BYE", CseqNumber, 4711},
      {"Min-Expires:", MinExpires, 0},
      {"m=audio 49170 RTP/AVP 0 8", SdpMediaPort, 49170},
      {"m=audio 0 RTP/AVP 0", SdpMediaPort, 0},
      {"m=audio", SdpMediaPort, 0},
      {"Contact: <sip:a@h>;expires=3600", RegistrationExpiry, 3600},
      {"Contact: <sip:a@h>;expires=0", RegistrationExpiry, 0},
      {"Expires: 60", RegistrationExpiry, 60},
      {"EXPIRES:120", RegistrationExpiry, 120},
  };
  for (const auto& c : cases) {
    SipMessage message = Message(Datagram({"SIP/2.0 423 Interval Too Brief", c.line}));
    EXPECT_EQ(c.recipe(message), c.expected) << c.line;
  }
}

TEST(RecipesTest, PayloadTypesEndAtTheFirstMissingToken) {
  const struct {
    std::string_view line;
    std::vector<int32_t> expected;
  } cases[] = {
      {"m=audio 49170 RTP/AVP 0 8", {0, 8}},
      {"m=audio 49170 RTP/AVP 96 97 98", {96, 97, 98}},
      {"m=audio 49170 RTP/AVP", {}},
      {"m=audio 49170 RTP/AVP x 18", {0, 18}},
  };
  for (const auto& c : cases) {
    SipMessage message = Message(Datagram({"INVITE sip:h SIP/2.0", "", c.line}));
    EXPECT_EQ(SdpPayloadTypes(message), c.expected) << c.line;
  }
  EXPECT_TRUE(SdpPayloadTypes(Message("INVITE sip:h SIP/2.0\r\n")).empty());
}

TEST(RegistrationExpiryTest, ContactHoldingExpiresTakesPrecedence) {
  SipMessage message = Message(Datagram({"REGISTER sip:h SIP/2.0",
                                         "Contact: <sip:a@h>;expires=0", "Expires: 3600"}));
  EXPECT_EQ(RegistrationExpiryText(message), "expires=0");
  EXPECT_EQ(RegistrationExpiry(message), 0);
}

TEST(RegistrationExpiryTest, ContactParameterIsCaseSensitiveButTheHeaderIsNot) {
  SipMessage message = Message(Datagram({"REGISTER sip:h SIP/2.0",
                                         "Contact: <sip:a@h>;Expires=30", "expires: 90"}));
  EXPECT_EQ(RegistrationExpiryText(message), "expires: 90");
  EXPECT_EQ(RegistrationExpiry(message), 90);
}

TEST(RegistrationExpiryTest, NeitherGivesEmptyTextAndZero) {
  SipMessage message =
      Message(Datagram({"REGISTER sip:h SIP/2.0", "Contact: <sip:a@h>", "Max-Forwards: 70"}));
  EXPECT_EQ(RegistrationExpiryText(message), "");
  EXPECT_EQ(RegistrationExpiry(message), 0);
}

TEST(RegistrationExpiryTest, ExpiresAnywhereInTheContactCounts) {
  // The user part holds the word: the rest of the line has no value token.
  SipMessage message =
      Message(Datagram({"REGISTER sip:h SIP/2.0", "Contact: <sip:expires@h>", "Expires: 60"}));
  EXPECT_EQ(RegistrationExpiryText(message), "expires@h>");
  EXPECT_EQ(RegistrationExpiry(message), 0);
}

TEST(QuotedParameterTest, OnlyWhereTheNameStartsAParameter) {
  constexpr std::string_view kChallenge =
      "WWW-Authenticate: Digest realm=\"lab@security-gw\", nonce=\"5e1f\", opaque=\"\"";
  constexpr std::string_view kCredentials =
      "Authorization: Digest username=\"yuri\", realm=\"opaque, uri=x\", uri=\"sip:h\", "
      "response = \"9a0b\",nonce=\"5e1f\"";
  const struct {
    std::string_view line;
    std::string_view name;
    std::string_view expected;
  } cases[] = {
      {kChallenge, "realm", "lab@security-gw"},
      {kChallenge, "nonce", "5e1f"},
      {kChallenge, "opaque", ""},
      {kChallenge, "uri", ""},  // "security" holds the name, but starts no parameter
      {kCredentials, "username", "yuri"},
      {kCredentials, "uri", "sip:h"},  // not "i\", uri=..." out of "yuri"
      {kCredentials, "realm", "opaque, uri=x"},
      {kCredentials, "opaque", ""},
      {kCredentials, "response", "9a0b"},
      {kCredentials, "nonce", "5e1f"},
      {kCredentials, "name", ""},
      // An unquoted value is not read, nor the quoted text after it.
      {"Authorization: Digest username=alice, realm=\"r\"", "username", ""},
      {"Authorization: Basic realm=\"r\"", "realm", ""},
      {"Authorization: Digest realm=\"unterminated", "realm", ""},
      {"", "realm", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QuotedParameter(c.line, c.name), c.expected) << c.name << " in " << c.line;
  }
}

TEST(MatchingTest, CallIdMustMatchExactly) {
  EXPECT_TRUE(CallIdMatches("Call-ID: x", "Call-ID: x"));
  EXPECT_FALSE(CallIdMatches("Call-Id: x", "Call-ID: x"));
  EXPECT_FALSE(CallIdMatches("Call-ID:  x", "Call-ID: x"));
  EXPECT_FALSE(CallIdMatches("i: x", "Call-ID: x"));
  EXPECT_FALSE(CallIdMatches("", ""));  // the empty line of a line still being set up
}

TEST(MatchingTest, RegistrationResponseMatchesIgnoringCase) {
  SipMessage response = Message(Datagram({"SIP/2.0 200 OK", "call-id: REG-1@10.0.0.2",
                                          "cseq: 7 register"}));
  EXPECT_TRUE(RegistrationResponseMatches(response, "Call-ID: reg-1@10.0.0.2", "CSeq: 7 REGISTER"));
  EXPECT_FALSE(RegistrationResponseMatches(response, "Call-ID: reg-1@10.0.0.2", "CSeq: 6 REGISTER"));
  EXPECT_FALSE(RegistrationResponseMatches(response, "Call-ID: reg-2@10.0.0.2", "CSeq: 7 REGISTER"));
  SipMessage withoutCallId = Message(Datagram({"SIP/2.0 200 OK", "CSeq: 7 REGISTER"}));
  EXPECT_FALSE(
      RegistrationResponseMatches(withoutCallId, "Call-ID: reg-1@10.0.0.2", "CSeq: 7 REGISTER"));
}

}  // namespace
}  // namespace talvenor
