#include <gtest/gtest.h>

#include "registration/digest.h"
#include "registration/guess_guard.h"
#include "registration/md5_digest.h"
#include "sip/sip_message.h"

#include <cstring>
#include <vector>

namespace talvenor {
namespace {

TEST(Md5Digest, Rfc1321TestSuite) {
  const std::pair<const char*, const char*> suite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  Md5Digest md5;  // one object reused, as the digest code does
  for (const auto& [text, hex] : suite) EXPECT_EQ(md5.Hex(text), hex) << '"' << text << '"';
}

TEST(DigestResponse, MatchesAnIndependentComputationWithoutQop) {
  // alice / example.com / secret, REGISTER sip:example.com (checked with md5sum).
  EXPECT_EQ(DigestResponse("alice", "example.com", "secret", "REGISTER", "sip:example.com",
                           "dcd98b7102dd2f0e8b11d0f600bfb0c093"),
            "b75dc11e0cde1fc2f921ce28378036bb");
  // RFC 2617's user and realm: HA1 of "Mufasa:testrealm@host.com:Circle Of Life".
  Md5Digest md5;
  EXPECT_EQ(md5.Hex("Mufasa:testrealm@host.com:Circle Of Life"), "939e7578ed9e3c518a452acee763bce9");
}

TEST(DigestResponse, WithQopAuthMatchesRfc2617sExample) {
  EXPECT_EQ(DigestResponse("Mufasa", "testrealm@host.com", "Circle Of Life", "GET", "/dir/index.html",
                           "dcd98b7102dd2f0e8b11d0f600bfb0c093", "00000001", "0a4f113b"),
            "6629fae49393a05397450978507c4ef1");
}

SipMessage Challenge(const std::string& status, const std::string& challengeLine, const std::string& cseq) {
  std::string text = "SIP/2.0 " + status + "\r\nVia: SIP/2.0/UDP 10.0.0.2;branch=z9hG4bK1\r\nCall-ID: call-1@10.0.0.2\r\n" +
                     "CSeq: " + cseq + "\r\n" + challengeLine + "Content-Length: 0\r\n\r\n";
  return SipMessage(text, 0, 0);
}

TEST(CredentialsLine, AnswersA401WithTheConfiguredAddressAsUri) {
  SipMessage challenge = Challenge(
      "401 Unauthorized", "WWW-Authenticate: Digest realm=\"example.com\", nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\"\r\n",
      "2 REGISTER");
  std::string line = CredentialsLine(challenge, "Authorization", "alice", "secret", "example.com");
  EXPECT_EQ(line,
            "\r\nAuthorization: Digest username=\"alice\", realm=\"example.com\", "
            "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", uri=\"sip:example.com\", "
            "response=\"b75dc11e0cde1fc2f921ce28378036bb\"");
  // A configured port stays in the uri.
  EXPECT_NE(CredentialsLine(challenge, "Authorization", "alice", "secret", "example.com:5070")
                .find("uri=\"sip:example.com:5070\""),
            std::string::npos);
}

TEST(CredentialsLine, OpaqueOnlyWhenNotEmpty) {
  SipMessage withOpaque = Challenge(
      "401 Unauthorized", "WWW-Authenticate: Digest realm=\"r\", nonce=\"n\", opaque=\"5ccc\"\r\n", "1 REGISTER");
  EXPECT_TRUE(CredentialsLine(withOpaque, "Authorization", "u", "p", "h").ends_with("\", opaque=\"5ccc\""));
  SipMessage emptyOpaque = Challenge(
      "401 Unauthorized", "WWW-Authenticate: Digest realm=\"r\", nonce=\"n\", opaque=\"\"\r\n", "1 REGISTER");
  EXPECT_EQ(CredentialsLine(emptyOpaque, "Authorization", "u", "p", "h").find("opaque"), std::string::npos);
}

TEST(CredentialsLine, A407WithoutProxyAuthenticateGivesEmptyRealmAndNonce) {
  SipMessage challenge = Challenge("407 Proxy Authentication Required",
                                   "WWW-Authenticate: Digest realm=\"wrong\", nonce=\"wrong\"\r\n", "3 INVITE");
  std::string line = CredentialsLine(challenge, "Proxy-Authorization", "u", "p", "h");
  EXPECT_EQ(line.find("\r\nProxy-Authorization: Digest username=\"u\", realm=\"\", nonce=\"\", "), 0u) << line;
  EXPECT_NE(line.find(DigestResponse("u", "", "p", "INVITE", "sip:h", "")), std::string::npos);
}

TEST(MakeNonce, ChangesEveryFourSecondsAndWithTheSender) {
  const std::string from = "From: <sip:desk@10.0.0.7>;tag=1";
  uint32_t address = 0x0700000a;  // 10.0.0.7 in network order on this host
  EXPECT_EQ(MakeNonceAt(1000, address, 0xc413, from), MakeNonceAt(1003, address, 0xc413, from));
  EXPECT_NE(MakeNonceAt(1003, address, 0xc413, from), MakeNonceAt(1004, address, 0xc413, from));
  EXPECT_NE(MakeNonceAt(1000, address, 0xc413, from), MakeNonceAt(1000, address + 1, 0xc413, from));
  EXPECT_NE(MakeNonceAt(1000, address, 0xc413, from), MakeNonceAt(1000, address, 0xc414, from));
  EXPECT_NE(MakeNonceAt(1000, address, 0xc413, from), MakeNonceAt(1000, address, 0xc413, from + "x"));
  // The nonce hashes "<secret>:Time:3e8:700000a:c413:<From line>" for 10.0.0.7:5060.
  Md5Digest md5;
  uint8_t bytes[4] = {10, 0, 0, 7};
  uint8_t portBytes[2] = {0x13, 0xc4};
  uint32_t networkAddress;
  uint16_t networkPort;
  std::memcpy(&networkAddress, bytes, 4);
  std::memcpy(&networkPort, portBytes, 2);
  EXPECT_EQ(MakeNonceAt(1001, networkAddress, networkPort, from, "5ec7e7"),
            md5.Hex("5ec7e7:Time:3e8:700000a:c413:" + from));
  // Unless told otherwise, with the process's 128-bit secret, which nothing in a request shows.
  EXPECT_EQ(NonceSecret().size(), 32u);
  EXPECT_NE(MakeNonceAt(1001, networkAddress, networkPort, from), md5.Hex("Time:3e8:700000a:c413:" + from));
}

TEST(DigestSpentNonces, ANonceServesOnceAndTheRecordStaysBounded) {
  SpentNonces spent;
  EXPECT_TRUE(spent.Spend("n1", 1000));
  EXPECT_FALSE(spent.Spend("n1", 1003));
  EXPECT_TRUE(spent.Spend("n1", 1000 + SpentNonces::kKeepSeconds + 1));  // its window long gone
  // A flood of right answers fills the record, and what comes then is refused, not kept.
  for (size_t index = 0; index < SpentNonces::kCapacity; ++index) spent.Spend("f" + std::to_string(index), 2000);
  EXPECT_FALSE(spent.Spend("one more", 2000));
  EXPECT_EQ(spent.Size(), SpentNonces::kCapacity);
  EXPECT_TRUE(spent.Spend("one more", 2000 + SpentNonces::kKeepSeconds + 1));
}

// The guard with a clock the test moves, and the sources it banned.
class GuessGuardTest : public ::testing::Test {
protected:
  bool MayVerify(uint32_t source) { return guard_.MayVerify(SipMessage(kRequest, source, 0)); }
  void Fail(uint32_t source, std::string_view user = "desk") { guard_.Failed(SipMessage(kRequest, source, 0), user); }
  static constexpr std::string_view kRequest = "REGISTER sip:10.0.0.2 SIP/2.0\r\n\r\n";
  int64_t now_ = 1'000'000;
  std::vector<uint32_t> banned_;
  GuessGuard guard_{[this] { return now_; },
                    [this](const SipMessage& request) { banned_.push_back(request.SourceAddress()); }};
};

TEST_F(GuessGuardTest, FiveFailuresMakeTheSourceWaitLongerEachTime) {
  for (int failure = 0; failure < 4; ++failure) Fail(7);
  EXPECT_TRUE(MayVerify(7));
  Fail(7);
  EXPECT_TRUE(MayVerify(8));  // only that source waits
  const int64_t waits[] = {1000, 2000, 4000, 8000, 16000, 32000, 60000};
  for (int64_t wait : waits) {
    now_ += wait - 1;
    EXPECT_FALSE(MayVerify(7)) << wait;
    now_ += 1;
    EXPECT_TRUE(MayVerify(7)) << wait;
    Fail(7);
  }
  EXPECT_TRUE(banned_.empty());  // 12 failures and 7 held back: not yet 20
}

TEST_F(GuessGuardTest, ARightAnswerIsNeverSlowedAndClearsTheCount) {
  for (int failure = 0; failure < 4; ++failure) Fail(7, "desk");
  EXPECT_TRUE(MayVerify(7));
  guard_.Succeeded(SipMessage(kRequest, 7, 0), "DESK");
  for (int failure = 0; failure < 4; ++failure) Fail(7, "b" + std::to_string(failure));
  EXPECT_TRUE(MayVerify(7));
  guard_.Succeeded(SipMessage(kRequest, 7, 0), "own");
  Fail(7, "b4");
  EXPECT_FALSE(MayVerify(7));
  // Each failure moves the nonce round on, and success does not move it back.
  EXPECT_EQ(guard_.NonceRound(7), 9u);
  EXPECT_EQ(guard_.NonceRound(9), 0u);
}

TEST_F(GuessGuardTest, FailuresForOneUserFromManySourcesHoldBackEachFurtherSource) {
  for (uint32_t source = 100; source < 105; ++source) Fail(source);
  Fail(200, "alice");
  EXPECT_TRUE(MayVerify(200));
  Fail(105, "DESK");
  EXPECT_FALSE(MayVerify(105));  // its first failure
  EXPECT_TRUE(MayVerify(104));
  now_ += GuessGuard::kWaitingWindowMs + 1;  // the user's minute is over
  Fail(106);
  EXPECT_TRUE(MayVerify(106));
}

TEST_F(GuessGuardTest, TwentyFailuresBanAndHeldBackGuessesCount) {
  for (int failure = 0; failure < GuessGuard::kFailuresBeforeWaiting; ++failure) Fail(7);
  for (int held = 0; held < 14; ++held) EXPECT_FALSE(MayVerify(7));
  EXPECT_TRUE(banned_.empty());
  EXPECT_FALSE(MayVerify(7));
  EXPECT_EQ(banned_, std::vector<uint32_t>{7});
}

TEST_F(GuessGuardTest, AFloodOfSourcesAndUsersKeepsTheRecordBounded) {
  for (uint32_t source = 1; source <= 2 * GuessGuard::kCapacity; ++source) Fail(source, std::to_string(source));
  EXPECT_EQ(guard_.SourcesKept(), GuessGuard::kCapacity);
  // A source still failing now keeps its record.
  for (int failure = 0; failure < 4; ++failure) Fail(2 * GuessGuard::kCapacity);
  EXPECT_FALSE(MayVerify(2 * GuessGuard::kCapacity));
}

TEST(ChallengeLines, StaleOnlyWhenTheWindowBeforeWasAnswered) {
  SipMessage request("REGISTER sip:10.0.0.2 SIP/2.0\r\nFrom: <sip:desk@10.0.0.2>;tag=1\r\n\r\n", 7, 5060);
  auto line = [](const std::string& nonce) { return "Authorization: Digest nonce=\"" + nonce + "\""; };
  std::string previous = MakePreviousNonce(request, 2);
  EXPECT_NE(ChallengeFor(request, line(previous), "desk", "h", "new", 2).find(", stale=true"), std::string::npos);
  // A nonce of an earlier round is one a wrong answer spent.
  EXPECT_EQ(ChallengeFor(request, line(MakePreviousNonce(request, 1)), "desk", "h", "new", 2),
            ChallengeLines("desk", "h", "new"));
  EXPECT_NE(MakeNonce(request, 1), MakeNonce(request, 2));
}

TEST(ChallengeLines, RealmIsUserAtLocalAddress) {
  EXPECT_EQ(ChallengeLines("desk", "10.0.0.2", "abc"),
            "\r\nWWW-Authenticate: Digest realm=\"desk@10.0.0.2\", nonce=\"abc\"");
}

class VerifyDigestTest : public ::testing::Test {
protected:
  std::string Line(const std::string& response, const std::string& user = "alice") {
    return "Authorization: Digest username=\"" + user + "\", realm=\"desk@10.0.0.2\", nonce=\"n1\", uri=\"sip:10.0.0.2\", "
           "response=\"" + response + "\"";
  }
  std::string Right() { return DigestResponse("alice", "desk@10.0.0.2", "secret", "REGISTER", "sip:10.0.0.2", "n1"); }
  PasswordLookup passwords_ = [](std::string_view user) { return user == "alice" ? "secret" : ""; };
};

TEST_F(VerifyDigestTest, AcceptsTheRightAnswerInEitherCase) {
  std::string user;
  EXPECT_EQ(VerifyDigest(kRegister, user, Line(Right()), passwords_), 0);
  std::string upper = Right();
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(VerifyDigest(kRegister, user, Line(upper), passwords_), 0);
  EXPECT_EQ(user, "alice");
}

TEST_F(VerifyDigestTest, RefusalsKeepTheClientsUsername) {
  std::string user;
  EXPECT_EQ(VerifyDigest(kRegister, user, Line(std::string(32, '0')), passwords_), kStatus403);
  EXPECT_EQ(user, "alice");
  EXPECT_EQ(VerifyDigest(kRegister, user, Line(Right(), "bob"), passwords_), kStatus404);
  EXPECT_EQ(user, "bob");
  // The method is part of the digest.
  EXPECT_EQ(VerifyDigest(kInvite, user, Line(Right()), passwords_), kStatus403);
}

TEST_F(VerifyDigestTest, MissingValuesGive400) {
  std::string user;
  EXPECT_EQ(VerifyDigest(kRegister, user, "Authorization: Digest username=\"alice\", realm=\"r\", nonce=\"n\"",
                         passwords_),
            kStatus400);
  EXPECT_EQ(user, "alice");
  EXPECT_EQ(VerifyDigest(kRegister, user, "", passwords_), kStatus400);
  EXPECT_EQ(user, "");
  // Unquoted values are not recognised.
  EXPECT_EQ(VerifyDigest(kRegister, user,
                         "Authorization: Digest username=alice, realm=r, nonce=n, uri=sip:h, response=abc",
                         passwords_),
            kStatus400);
}

}  // namespace
}  // namespace talvenor
