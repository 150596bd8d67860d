#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "sip/sip_message.h"
#include "tests/sip/datagram_text.h"

namespace talvenor {
namespace {

using test::Datagram;
using test::Message;

std::vector<std::string_view> Lines(const SipMessage& message) {
  std::vector<std::string_view> lines;
  for (size_t i = 0; i < message.LineCount(); ++i) {
    lines.push_back(message.LineAt(i));
  }
  return lines;
}

TEST(SipMessageKindTest, ClassifiesStartLinesByTheKindTable) {
  const struct {
    std::string_view startLine;
    SipKind expected;
  } cases[] = {
      {"INVITE sip:lab@h SIP/2.0", kInvite},
      {"OPTIONS sip:lab@h SIP/2.0", kOptions},
      {"SIP/2.0 180 Ringing", kStatus180},
      {"SIP/2.0 100 ", kStatus100},
      {"SIP/2.0 487 Anything at all", kStatus487},
      // Codes outside the table and lower-case methods match no row.
      {"SIP/2.0 202 Accepted", kNoKind},
      {"SIP/2.0 422 Session Interval Too Small", kNoKind},
      {"invite sip:lab@h SIP/2.0", kNoKind},
      // No "SIP/2.0" anywhere: not SIP at all.
      {"INVITE sip:lab@h", kNoKind},
      {"INVITE sip:lab@h SIP/2.1", kNoKind},
      {"sip/2.0 200 OK", kNoKind},
      // Rows are tried in table order, each at offset 0 or 8: row 0's text
      // stands at offset 8 of this ACK.
      {"ACK sip:INVITE@h SIP/2.0", kInvite},
      {"SIP/2.0 200 INVITE", kStatus200},
      {"180 sip:h SIP/2.0", kStatus180},
      // The version may stand anywhere in the line, any row's text only at
      // offset 0 or 8.
      {"SIP/2.0 BYE", kBye},
      {"SIP/2.0 x BYE", kNoKind},
      {"ACKNOWLEDGE sip:h SIP/2.0", kAck},
      {" INVITE sip:lab@h SIP/2.0", kNoKind},
      {"SIP/2.0  200 OK", kNoKind},
  };
  for (const auto& c : cases) {
    SipMessage message = Message(Datagram({c.startLine, "Via: SIP/2.0/UDP h"}));
    EXPECT_EQ(message.Kind(), c.expected) << c.startLine;
    EXPECT_EQ(message.Kind(), c.expected) << "second call: " << c.startLine;
  }
}

TEST(SipMessageKindTest, MessageWithoutLinesHasNoKind) {
  for (std::string_view text : {std::string_view{}, std::string_view("\r\n\r\n\n\r"),
                                std::string_view("\0INVITE sip:a@h SIP/2.0", 23)}) {
    SipMessage message = Message(text);
    EXPECT_EQ(message.LineCount(), 0u);
    EXPECT_EQ(message.Kind(), kNoKind);
    EXPECT_EQ(message.LineAt(0), "");
  }
}

TEST(SipMessageLinesTest, CutsAtEveryRunOfLineEnds) {
  const struct {
    std::string_view text;
    std::vector<std::string_view> lines;
  } cases[] = {
      {"A\r\nB\r\n", {"A", "B"}},
      {"A\nB", {"A", "B"}},
      {"A\rB", {"A", "B"}},
      {"\r\n\nA\r\r\n\n\rB\n\r", {"A", "B"}},
      {"A\r\n\r\nv=0\r\n", {"A", "v=0"}},
      {"  A \r\n\tB", {"  A ", "\tB"}},
      {"single line", {"single line"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Lines(Message(c.text)), c.lines) << c.text;
  }
}

const std::string kInviteText = Datagram({
    "INVITE sip:lab@10.0.0.1 SIP/2.0",
    "Via: SIP/2.0/UDP 10.0.0.7:5062;branch=z9hG4bK77",
    "To: <sip:lab@10.0.0.1>",
    "From: \"Desk\" <sip:desk@10.0.0.7>;tag=1",
    "Call-ID: 99@10.0.0.7",
    "CSeq: 1 INVITE",
    "Contact: <sip:desk@10.0.0.7:5062>",
    "Content-Length: 44",
    "",
    "v=0",
    "c=IN IP4 10.0.0.7",
    "m=audio 49170 RTP/AVP 0 8",
});

TEST(SipMessageLinesTest, LineFeedOnlyDatagramSplitsLikeCrLf) {
  std::string lfOnly = Datagram({"INVITE sip:lab@10.0.0.1 SIP/2.0", "To: <sip:lab@10.0.0.1>", "",
                                 "v=0", "m=audio 49170 RTP/AVP 0"},
                                "\n");
  std::string crlf = Datagram({"INVITE sip:lab@10.0.0.1 SIP/2.0", "To: <sip:lab@10.0.0.1>", "",
                               "v=0", "m=audio 49170 RTP/AVP 0"});
  SipMessage fromLf = Message(lfOnly);
  SipMessage fromCrlf = Message(crlf);
  EXPECT_EQ(Lines(fromLf), Lines(fromCrlf));
  EXPECT_EQ(fromLf.LineCount(), 4u);
  EXPECT_EQ(fromLf.Kind(), kInvite);
}

TEST(SipMessageLinesTest, BodyFollowsTheHeadersInTheSameList) {
  SipMessage message = Message(kInviteText);
  EXPECT_EQ(message.LineCount(), 11u);
  EXPECT_EQ(message.LineAt(7), "Content-Length: 44");
  EXPECT_EQ(message.LineAt(8), "v=0");
  EXPECT_EQ(message.LineAt(10), "m=audio 49170 RTP/AVP 0 8");
  EXPECT_EQ(message.LineAt(11), "");
  EXPECT_EQ(message.FindLine("m=audio"), "m=audio 49170 RTP/AVP 0 8");
}

TEST(SipMessageLinesTest, TextEndsAtTheFirstNul) {
  std::string text = Datagram({"OPTIONS sip:h SIP/2.0", "Subject: before"});
  text += std::string_view("\0after\r\nCall-ID: 1@h\r\n", 22);
  SipMessage message = Message(text);
  EXPECT_EQ(Lines(message), (std::vector<std::string_view>{"OPTIONS sip:h SIP/2.0",
                                                           "Subject: before"}));
  EXPECT_EQ(message.FindLine("Call-ID"), "");
}

TEST(SipMessageLinesTest, ViewsStayValidWhenTheMessageMoves) {
  // Short enough that a std::string would keep it inline and move it.
  SipMessage original = Message("A\r\nB");
  std::string_view second = original.LineAt(1);
  SipMessage moved = std::move(original);
  EXPECT_EQ(moved.LineAt(1).data(), second.data());
  EXPECT_EQ(second, "B");
}

TEST(SipMessageFindLineTest, MatchesTheNameAsACaseInsensitiveLinePrefix) {
  SipMessage message = Message(Datagram({
      "REGISTER sip:h SIP/2.0",
      "Via: SIP/2.0/UDP first",
      "Via: SIP/2.0/UDP second",
      "t: <sip:compact@h>",
      "Reply-To: <sip:wrong@h>",
      "To: <sip:desk@h>",
      "Expires: 60",
      "C",
  }));
  const struct {
    std::string_view name;
    std::string_view expected;
  } cases[] = {
      {"to", "To: <sip:desk@h>"},
      {"TO", "To: <sip:desk@h>"},
      {"expires", "Expires: 60"},
      {"Via", "Via: SIP/2.0/UDP first"},
      {"via: sip/2.0/udp s", "Via: SIP/2.0/UDP second"},
      {"t:", "t: <sip:compact@h>"},
      // A line shorter than the name never matches it.
      {"Call-ID", ""},
      {"Contact", ""},
      {"", "REGISTER sip:h SIP/2.0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(message.FindLine(c.name), c.expected) << c.name;
  }
}

TEST(SipMessageFindLineTest, CompactFormsFindTheirHeaders) {
  SipMessage message = Message(Datagram({"INVITE sip:x@h SIP/2.0", "v: SIP/2.0/UDP h", "t: <sip:x@h>", "F :<sip:y@h>",
                                         "i: 1@h", "m: <sip:y@h>", "c: application/sdp", "l: 0", "x: other"}));
  const struct {
    std::string_view name;
    std::string_view expected;
  } cases[] = {
      {"Via", "v: SIP/2.0/UDP h"},   {"To", "t: <sip:x@h>"},          {"From", "F :<sip:y@h>"},
      {"Call-ID", "i: 1@h"},          {"Contact", "m: <sip:y@h>"},     {"Content-Type", "c: application/sdp"},
      {"Content-Length", "l: 0"},     {"CSeq", ""},  // none has a compact form
  };
  for (const auto& c : cases) EXPECT_EQ(message.FindLine(c.name), c.expected) << c.name;
}

TEST(SipMessageFindLineTest, ALookAlikeBeforeTheRealHeaderWins) {
  // The name needs no colon after it: 'Tox:' begins with "To".
  SipMessage message =
      Message(Datagram({"OPTIONS sip:h SIP/2.0", "Tox: WRONG", "To: <sip:bob@h>"}));
  EXPECT_EQ(message.FindLine("To"), "Tox: WRONG");
  EXPECT_EQ(message.FindLine("To:"), "To: <sip:bob@h>");
}

// Cutting the datagram short anywhere, as a NUL inside it does, leaves the
// lines before the cut whole and the line it falls in cut at the same place.
TEST(SipMessageLinesTest, EveryCutKeepsTheLinesBeforeIt) {
  SipMessage whole = Message(kInviteText);
  std::vector<std::string_view> wholeLines = Lines(whole);
  for (size_t cut = 0; cut <= kInviteText.size(); ++cut) {
    std::string withNul = kInviteText;
    withNul.insert(cut, 1, '\0');
    SipMessage message = Message(withNul);
    std::vector<std::string_view> lines = Lines(message);
    ASSERT_LE(lines.size(), wholeLines.size()) << cut;
    for (size_t i = 0; i < lines.size(); ++i) {
      bool last = i + 1 == lines.size();
      if (!last) {
        EXPECT_EQ(lines[i], wholeLines[i]) << "cut " << cut << " line " << i;
      } else {
        EXPECT_TRUE(wholeLines[i].starts_with(lines[i])) << "cut " << cut << " line " << i;
      }
    }
    SipKind kind = message.Kind();
    EXPECT_TRUE(kind == kNoKind || kind == kInvite) << cut;
  }
}

}  // namespace
}  // namespace talvenor
