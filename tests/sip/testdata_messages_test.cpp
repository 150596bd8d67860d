// Every project and RFC 4475 datagram goes through the whole read path:
// nothing may crash or read outside the datagram, whatever the message.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "sip/compose.h"
#include "sip/recipes.h"
#include "tests/sip/datagram_text.h"
#include "tests/support/every_recipe.h"
#include "tests/support/test_helpers.h"

namespace talvenor {
namespace {

namespace fs = std::filesystem;
using testhelp::ReadFile;

// The project's own edge cases travel with the repository; the RFC 4475 set
// sits in the shared test data next to it.
const fs::path kEdgeData = TALVENOR_SOURCE_DIR "/tests/testdata/sip-edge";
const fs::path kTortureData = TALVENOR_SOURCE_DIR "/../shared/testdata/sip-torture";

std::vector<fs::path> Datagrams(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
    if (entry.path().extension() == ".dat") {
      files.push_back(entry.path());
    }
  }
  return files;
}

// Tests of the RFC 4475 set skip when it is missing or empty, unless
// TALVENOR_REQUIRE_SHARED_TESTDATA=1 (as in CI) makes that a failure.
class TortureDatagramsTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!Datagrams(kTortureData).empty()) {
      return;
    }
    const char* required = std::getenv("TALVENOR_REQUIRE_SHARED_TESTDATA");
    if (required != nullptr && std::string(required) == "1") {
      FAIL() << "no RFC 4475 datagrams under " << kTortureData << " (TALVENOR_REQUIRE_SHARED_TESTDATA=1)";
    }
    GTEST_SKIP() << "no RFC 4475 datagrams under " << kTortureData
                 << "; TALVENOR_REQUIRE_SHARED_TESTDATA=1 turns this into a failure";
  }
};

void ReadEverything(const SipMessage& message, const std::string& name) {
  SipKind kind = message.Kind();
  EXPECT_TRUE(kind == kNoKind || IsKnownKind(kind)) << name;
  for (size_t i = 0; i < message.LineCount(); ++i) {
    std::string_view line = message.LineAt(i);
    EXPECT_FALSE(line.empty()) << name << " line " << i;
    EXPECT_EQ(line.find_first_of(std::string_view("\r\n\0", 3)), std::string_view::npos)
        << name << " line " << i;
  }
  int64_t numbers = 0;
  for (std::string_view view : testhelp::ReadWithEveryRecipe(message, numbers)) {
    EXPECT_TRUE(testhelp::InsideALine(view, message)) << name << ": " << view;
  }
  std::string_view mediaLine = SdpMediaLine(message);
  EXPECT_EQ(SdpPayloadTypes(message).empty(), SdpPayloadTypeToken(mediaLine, 0).empty()) << name;
  std::string response = ComposeStatelessResponse(kStatus400, message, "");
  EXPECT_EQ(test::Message(response).Kind(), kStatus400) << name;
  std::string ack = ComposeRequestFromMessage(kAck, message);
  EXPECT_EQ(test::Message(ack).LineAt(0).substr(0, 8), "ACK sip:") << name;
}

void ReadEveryDatagramIn(const fs::path& dir) {
  for (const fs::path& file : Datagrams(dir)) {
    std::string text = ReadFile(file.string());
    SipMessage message = test::Message(text);
    ReadEverything(message, file.filename().string());
  }
}

TEST(EdgeDatagramsTest, EveryDatagramReadsWithoutFault) {
  ASSERT_FALSE(Datagrams(kEdgeData).empty()) << kEdgeData;
  ReadEveryDatagramIn(kEdgeData);
}

TEST_F(TortureDatagramsTest, EveryDatagramReadsWithoutFault) { ReadEveryDatagramIn(kTortureData); }

struct TrapCase {
  const char* file;
  SipKind kind;
  std::string_view header = {};
  std::string_view line = {};
};

void CheckTraps(const fs::path& dir, const std::vector<TrapCase>& cases) {
  for (const TrapCase& c : cases) {
    fs::path path = dir / c.file;
    ASSERT_TRUE(fs::exists(path)) << path;
    std::string text = ReadFile(path.string());
    SipMessage message = test::Message(text);
    EXPECT_EQ(message.Kind(), c.kind) << c.file;
    if (!c.header.empty()) {
      EXPECT_EQ(message.FindLine(c.header), c.line) << c.file << ' ' << c.header;
    }
  }
}

// What the module's own rules make of the trap datagrams. Several differ on
// purpose from what a general-purpose stack would do: the kind comes from
// the fixed table, names match as line prefixes (compact forms as a letter
// before the colon), folded lines are joined, and a NUL ends the text.
TEST(EdgeDatagramsTest, TrapDatagramsReadByTheModulesRules) {
  CheckTraps(kEdgeData, {
      {"ack-uri-user-is-method.dat", kInvite, "CSeq", "CSeq: 1 ACK"},
      {"lowercase-method.dat", kNoKind, "CSeq", "CSeq: 1 invite"},
      {"resp-202-accepted.dat", kNoKind},
      {"resp-422-session-interval.dat", kNoKind},
      {"nul-in-header.dat", kOptions, "Call-ID", ""},
      {"bare-cr-in-header.dat", kInvite, "Call-ID", "Call-ID: barecr-real@192.0.2.10"},
      {"header-prefix-traps.dat", kOptions, "To", "Tox: WRONG <sip:WRONG@203.0.113.66>"},
      {"header-prefix-traps.dat", kOptions, "Call-ID", "Call-ID-Old: WRONG@203.0.113.66"},
      {"compact-forms.dat", kInvite, "To", "t:<sip:bob@example.com>"},
      {"compact-forms.dat", kInvite, "Call-ID", "i:compact-1@192.0.2.10"},
      {"compact-forms.dat", kInvite, "Via", "v: SIP/2.0/UDP 192.0.2.10:5060;branch=z9hG4bK-compact1"},
      {"folded-headers.dat", kInvite, "From", "From: \"Alice\"    <sip:alice@example.com>    ;tag=fold1"},
      {"folded-headers.dat", kInvite, "CSeq", "CSeq: 1  \tINVITE"},
      {"compact-forms.dat", kInvite, "c=", "c=IN IP4 192.0.2.10"},
      {"lf-only-line-endings.dat", kInvite},
  });
}

TEST_F(TortureDatagramsTest, TrapDatagramsReadByTheModulesRules) {
  CheckTraps(kTortureData, {{"bigcode.dat", kNoKind}, {"badvers.dat", kNoKind}, {"test.dat", kNoKind},
                            {"esc02.dat", kNoKind}, {"noreason.dat", kStatus100}, {"scalarlg.dat", kStatus503},
                            {"ltgtruri.dat", kInvite}});
}

TEST(EdgeDatagramsTest, DeclinedStreamComesFirst) {
  // The first m=audio line is the declined one.
  EXPECT_EQ(SdpMediaPort(test::Message(ReadFile((kEdgeData / "sdp-m-port-0.dat").string()))), 0);
}

TEST_F(TortureDatagramsTest, HugeExpiresSaturates) {
  // The Contact's expires, on a folded line joined to it, holds a 15-digit
  // value: saturated.
  EXPECT_EQ(RegistrationExpiry(test::Message(ReadFile((kTortureData / "scalar02.dat").string()))),
            std::numeric_limits<int32_t>::max());
}

}  // namespace
}  // namespace talvenor
