#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "sip/compose.h"
#include "sip/recipes.h"
#include "tests/sip/datagram_text.h"

namespace talvenor {
namespace {

using test::Datagram;
using test::Message;

TEST(PortSuffixTest, WrittenOnlyForANonDefaultPort) {
  EXPECT_EQ(PortSuffix(5060), "");
  EXPECT_EQ(PortSuffix(5070), ":5070");
  EXPECT_EQ(PortSuffix(65535), ":65535");
}

TEST(HeaderLinesTest, ViaAndContactCarryThePortSuffix) {
  EXPECT_EQ(ViaLine("10.0.0.2", PortSuffix(5060), 4000000001u),
            "Via: SIP/2.0/UDP 10.0.0.2;branch=z9hG4bK4000000001;rport");
  EXPECT_EQ(ViaLine("10.0.0.2", PortSuffix(5070), 17),
            "Via: SIP/2.0/UDP 10.0.0.2:5070;branch=z9hG4bK17;rport");
  EXPECT_EQ(InviteContactLine("10.0.0.2", PortSuffix(5060)), "Contact: <sip:10.0.0.2>");
  EXPECT_EQ(InviteContactLine("10.0.0.2", PortSuffix(5070)), "Contact: <sip:10.0.0.2:5070>");
  EXPECT_EQ(RegisterContactLine("desk", "10.0.0.2", PortSuffix(5070), 3600),
            "Contact: <sip:desk@10.0.0.2:5070>;expires=3600");
  EXPECT_EQ(RegisterContactLine("desk", "10.0.0.2", PortSuffix(5060), 0),
            "Contact: <sip:desk@10.0.0.2>;expires=0");
}

TEST(HeaderLinesTest, DisplayPartIsQuotedOrAbsent) {
  EXPECT_EQ(DisplayPart(""), "");
  EXPECT_EQ(DisplayPart("Front Desk"), "\"Front Desk\" ");
  EXPECT_EQ(DisplayPart("Bo \"\\x\" "), "\"Bo x \" ");  // a quote or backslash would break the line
  EXPECT_EQ(DisplayPart("\""), "");
}

TEST(HeaderLinesTest, FromAndToLines) {
  EXPECT_EQ(RegisterFromLine("Desk", "desk", "gw.example", 5),
            "From: \"Desk\" <sip:desk@gw.example>;tag=5");
  EXPECT_EQ(RegisterFromLine("", "desk", "gw.example", 5), "From: <sip:desk@gw.example>;tag=5");
  EXPECT_EQ(RegisterToLine("Desk", "desk", "gw.example"), "To: \"Desk\" <sip:desk@gw.example>");
  EXPECT_EQ(InviteFromLine("Desk", "desk", "10.0.0.2", 9),
            "From: \"Desk\" <sip:desk@10.0.0.2>;tag=9");
  EXPECT_EQ(InviteFromLine("", "", "10.0.0.2", 9), "From: <sip:10.0.0.2>;tag=9");
  EXPECT_EQ(InviteToLine("lab@10.0.0.9:5070"), "To: <sip:lab@10.0.0.9:5070>");
}

TEST(HeaderLinesTest, IdentifiersAndTrailer) {
  EXPECT_EQ(CallIdLine(8000, "10.0.0.2"), "Call-ID: call-8000@10.0.0.2");
  EXPECT_EQ(CseqLine(65535, KindText(kInvite)), "CSeq: 65535 INVITE");
  EXPECT_EQ(UserAgentLine(), "User-Agent: Talvenor 7.2");
  EXPECT_EQ(ContentTypeLine(), "Content-Type: application/sdp\r\n");
  EXPECT_EQ(ContentLengthAndBody(""), "Content-Length: 0\r\n\r\n");
  EXPECT_EQ(ContentLengthAndBody("v=0\r\n"), "Content-Length: 5\r\n\r\nv=0\r\n");
}

const std::string kOptionsText = Datagram({
    "OPTIONS sip:lab@10.0.0.1 SIP/2.0",
    "Via: SIP/2.0/UDP 10.0.0.7:5062;branch=z9hG4bK1",
    "v: SIP/2.0/UDP 10.0.0.8;branch=z9hG4bK2, SIP/2.0/UDP 10.0.0.9;branch=z9hG4bK3",
    "Max-Forwards: 70",
    "To: <sip:lab@10.0.0.1>",
    "From: <sip:desk@10.0.0.7>;tag=3",
    "Call-ID: opt-1@10.0.0.7",
    "CSeq: 4 OPTIONS",
    "Contact: <sip:desk@10.0.0.7:5062>",
    "Content-Length: 0",
});

TEST(StatelessResponseTest, MethodNotAllowedLayout) {
  std::string text = ComposeStatelessResponse(kStatus405, Message(kOptionsText),
                                              "\r\nAllow: INVITE, ACK, CANCEL, BYE");
  EXPECT_EQ(text,
            "SIP/2.0 405 Method Not Allowed\r\n"
            // Every Via, as written: each proxy takes its own off the answer.
            "Via: SIP/2.0/UDP 10.0.0.7:5062;branch=z9hG4bK1\r\n"
            "v: SIP/2.0/UDP 10.0.0.8;branch=z9hG4bK2, SIP/2.0/UDP 10.0.0.9;branch=z9hG4bK3\r\n"
            // A tag of the request's own: it had none (RFC 3261 8.2.6.2).
            "To: <sip:lab@10.0.0.1>;tag=d87835df\r\n"
            "From: <sip:desk@10.0.0.7>;tag=3\r\n"
            "Call-ID: opt-1@10.0.0.7\r\n"
            "CSeq: 4 OPTIONS\r\n"
            "Allow: INVITE, ACK, CANCEL, BYE\r\n"
            "Content-Length: 0\r\n"
            "\r\n");
  EXPECT_EQ(Message(text).Kind(), kStatus405);
}

TEST(StatelessResponseTest, AddsAToTagWhereTheRequestHasNone) {
  std::string request = Datagram({"BYE sip:lab@h SIP/2.0", "Via: SIP/2.0/UDP h",
                                  "tO:  \"Lab\"<sip:lab@h> ", "From: <sip:a@h>;tag=1",
                                  "Call-ID: 1@h", "CSeq: 2 BYE"});
  SipMessage response = Message(ComposeStatelessResponse(kStatus481, Message(request), ""));
  std::string_view to = response.FindLine("To");
  EXPECT_TRUE(to.starts_with("tO:  \"Lab\"<sip:lab@h> ;tag=")) << to;
  EXPECT_EQ(ToTag(response).size(), 8u);
  // The repeated request gets the same tag; one that has a tag keeps it.
  EXPECT_EQ(ComposeStatelessResponse(kStatus481, Message(request), ""), response.Text());
  std::string tagged = Datagram({"BYE sip:lab@h SIP/2.0", "Via: SIP/2.0/UDP h", "t: <sip:lab@h>;tag=7",
                                 "From: <sip:a@h>;tag=1", "Call-ID: 1@h", "CSeq: 2 BYE"});
  EXPECT_EQ(Message(ComposeStatelessResponse(kStatus481, Message(tagged), "")).FindLine("To"),
            "t: <sip:lab@h>;tag=7");
  EXPECT_EQ(response.LineAt(0), "SIP/2.0 481 Call Leg/Transaction Does Not Exist");
  EXPECT_EQ(response.FindLine("Contact"), "");
  EXPECT_EQ(response.FindLine("User-Agent"), "");
}

TEST(StatelessResponseTest, MissingViaEndsTheHeaderBlockAtOnce) {
  std::string request = Datagram({"INVITE sip:lab@h SIP/2.0", "To: <sip:lab@h>"});
  std::string text = ComposeStatelessResponse(kStatus400, Message(request), "");
  EXPECT_TRUE(text.starts_with("SIP/2.0 400 Bad request\r\n\r\nTo: <sip:lab@h>;tag=")) << text;
}

TEST(RequestFromMessageTest, AckForAStray487) {
  std::string response = Datagram({
      "SIP/2.0 487 Request Terminated",
      "Via: SIP/2.0/UDP 10.0.0.2;branch=z9hG4bK42",
      "To: <sip:lab@10.0.0.9:5070>;tag=77",
      "From: <sip:desk@10.0.0.2>;tag=42",
      "Call-ID: call-8000@10.0.0.2",
      "CSeq: 5 INVITE",
      "Content-Length: 0",
  });
  EXPECT_EQ(ComposeRequestFromMessage(kAck, Message(response)),
            "ACK sip:lab@10.0.0.9 SIP/2.0\r\n"
            "Via: SIP/2.0/UDP 10.0.0.2;branch=z9hG4bK42\r\n"
            "To: <sip:lab@10.0.0.9:5070>;tag=77\r\n"
            "From: <sip:desk@10.0.0.2>;tag=42\r\n"
            "Call-ID: call-8000@10.0.0.2\r\n"
            "CSeq: 1 ACK\r\n"
            "Max-Forwards: 70\r\n"
            "Content-Length: 0\r\n"
            "\r\n");
}

}  // namespace
}  // namespace talvenor
