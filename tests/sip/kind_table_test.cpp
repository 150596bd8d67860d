#include <gtest/gtest.h>

#include <string>

#include "sip/kind_table.h"
#include "sip/sip_message.h"
#include "tests/sip/datagram_text.h"

namespace talvenor {
namespace {

// A start line for every row, written the way a peer writes it, must
// classify back to that row: methods at offset 0, codes after "SIP/2.0 ".
TEST(KindTableTest, EveryRowRoundTripsThroughClassification) {
  for (SipKind kind = 0; kind < static_cast<SipKind>(kKindCount); ++kind) {
    std::string startLine = IsMethodKind(kind)
                                ? std::string(KindText(kind)) + " sip:lab@h SIP/2.0"
                                : "SIP/2.0 " + std::string(KindText(kind)) + " " +
                                      std::string(ReasonPhrase(kind));
    SipMessage message = test::Message(test::Datagram({startLine, "Call-ID: 1@h"}));
    EXPECT_EQ(message.Kind(), kind) << startLine;
  }
}

TEST(KindTableTest, MethodRowsHaveNoReasonAndStatusRowsAscend) {
  int previousCode = 0;
  for (SipKind kind = 0; kind < static_cast<SipKind>(kKindCount); ++kind) {
    std::string_view text = KindText(kind);
    if (IsMethodKind(kind)) {
      EXPECT_TRUE(ReasonPhrase(kind).empty()) << text;
      continue;
    }
    ASSERT_EQ(text.size(), 3u) << kind;
    EXPECT_FALSE(ReasonPhrase(kind).empty()) << text;
    int code = std::stoi(std::string(text));
    EXPECT_GT(code, previousCode) << text;
    EXPECT_GE(code, 100);
    EXPECT_LE(code, 606);
    previousCode = code;
  }
}

TEST(KindTableTest, TextAndReasonAreEmptyOutsideTheTable) {
  for (SipKind kind : {kNoKind, static_cast<SipKind>(kKindCount), SipKind{-2}, SipKind{1000}}) {
    EXPECT_TRUE(KindText(kind).empty()) << kind;
    EXPECT_TRUE(ReasonPhrase(kind).empty()) << kind;
  }
}

// Other parts of the module switch on these constants; each must name the
// row whose text it stands for.
TEST(KindTableTest, NamedConstantsPointAtTheirRows) {
  struct Row {
    SipKind kind;
    std::string_view text;
  };
  const Row rows[] = {
      {kInvite, "INVITE"},    {kCancel, "CANCEL"},    {kAck, "ACK"},        {kBye, "BYE"},
      {kRegister, "REGISTER"}, {kSubscribe, "SUBSCRIBE"}, {kMessage, "MESSAGE"},
      {kOptions, "OPTIONS"},  {kStatus100, "100"},    {kStatus180, "180"},  {kStatus183, "183"},
      {kStatus200, "200"},    {kStatus400, "400"},    {kStatus401, "401"},  {kStatus402, "402"},
      {kStatus403, "403"},    {kStatus404, "404"},    {kStatus405, "405"},  {kStatus406, "406"},
      {kStatus407, "407"},    {kStatus408, "408"},    {kStatus423, "423"},  {kStatus480, "480"},
      {kStatus481, "481"},    {kStatus486, "486"},    {kStatus487, "487"},  {kStatus488, "488"},
      {kStatus500, "500"},    {kStatus503, "503"},    {kStatus603, "603"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(KindText(row.kind), row.text);
  }
}

}  // namespace
}  // namespace talvenor
