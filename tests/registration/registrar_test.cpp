// The registrar through the module's socket, with real list files.
#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>

#include "config/module_settings.h"
#include "platform/clock.h"
#include "platform/private_file.h"
#include "registration/digest.h"
#include "registration/registration_book.h"
#include "registration/registration_list.h"
#include "sip/tokens.h"
#include "tests/support/sip_samples.h"
#include "tests/support/test_helpers.h"

namespace talvenor {
namespace {

using namespace std::chrono_literals;

struct Register {
  std::string user = "desk";
  std::string displayName = "Front Desk";
  std::string userAgent = " Phone 1.0 ";
  std::string contact = "Contact: <sip:desk@127.0.0.1:5062>\r\n";
  std::string expires;  // an Expires header line, if any
  std::string authorization;
  std::string callId = "reg-1";
  int cseq = 1;

  std::string Text() const {
    return testhelp::Request({.method = "REGISTER", .callId = callId,
                              .extra = contact + expires + authorization + "User-Agent: " + userAgent + "\r\n",
                              .cseq = cseq, .uri = "sip:127.0.0.1",
                              .to = "\"" + displayName + "\" <sip:" + user + "@127.0.0.1>",
                              .from = "\"Front Desk\" <sip:" + user + "@127.0.0.1>;tag=55", .via = "127.0.0.1:5062",
                              .branch = "z9hG4bK-" + callId + std::to_string(cseq)});
  }
};

class RegistrarTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(module_.Started());
    Settings().EnableRegistrations = 1;
    Settings().LocalAddress.Set("127.0.0.1");
  }
  std::string Send(const Register& request, const testhelp::UdpPeer& from) {
    from.SendTo(module_.SipPort(), request.Text());
    auto answer = from.Receive(2s);
    return answer.value_or("");
  }
  std::string Send(const Register& request) { return Send(request, peer_); }
  static std::string StatusLine(const std::string& answer) { return testhelp::FirstLine(answer); }
  std::string List() const { return testhelp::ReadFile(module_.Data().File("SIP-REG.txt")); }
  std::string Key(const testhelp::UdpPeer& peer, const std::string& user = "desk") const {
    return user + "@127.0.0.1:" + std::to_string(peer.Port());
  }

  testhelp::RunningModule module_{{{"Register", "1,0,0,3600"}}};
  testhelp::UdpPeer peer_;
};

TEST_F(RegistrarTest, GrantsTheDefaultWithoutExpiryAndWritesTheListLine) {
  std::string answer = Send(Register{});
  EXPECT_EQ(StatusLine(answer), "SIP/2.0 200 OK");
  EXPECT_NE(answer.find("\r\nContact: <sip:" + Key(peer_) + ">;expires=3600\r\nContent-Length: 0\r\n"),
            std::string::npos)
      << answer;
  std::string list = List();
  EXPECT_EQ(NthToken(list, "\t\n", 0), Key(peer_));
  EXPECT_EQ(NthToken(list, "\t\n", 1), "PIN");
  EXPECT_NEAR(std::stoll(std::string(NthToken(list, "\t\n", 2))), CalendarSeconds(), 5);
  EXPECT_EQ(NthToken(list, "\t\n", 3), "3600");
  EXPECT_EQ(NthToken(list, "\t\n", 4), LocalDateText(std::stoll(std::string(NthToken(list, "\t\n", 2)))));
  EXPECT_EQ(NthToken(list, "\t\n", 5), "Front");
  EXPECT_EQ(NthToken(list, "\t\n", 6), "Phone 1.0");
}

TEST_F(RegistrarTest, LifetimeRules) {
  Register tooShort;
  tooShort.contact = "Contact: <sip:desk@127.0.0.1:5062>;expires=30\r\n";
  std::string answer = Send(tooShort);
  EXPECT_EQ(StatusLine(answer), "SIP/2.0 423 Interval Too Brief");
  EXPECT_NE(answer.find("\r\nMin-Expires: 60\r\n"), std::string::npos);
  EXPECT_FALSE(testhelp::FileExists(module_.Data().File("SIP-REG.txt")));

  Register tooLong;
  tooLong.expires = "Expires: 7200\r\n";
  tooLong.cseq = 2;
  EXPECT_NE(Send(tooLong).find(">;expires=3600\r\n"), std::string::npos);
  EXPECT_EQ(NthToken(List(), "\t\n", 3), "3600");

  Register contactWins;
  contactWins.contact = "Contact: <sip:desk@127.0.0.1:5062>;expires=120\r\n";
  contactWins.expires = "Expires: 7200\r\n";
  contactWins.cseq = 3;
  EXPECT_NE(Send(contactWins).find(">;expires=120\r\n"), std::string::npos);

  Register remove;
  remove.expires = "Expires: 0\r\n";
  remove.cseq = 4;
  EXPECT_NE(Send(remove).find(">;expires=0\r\n"), std::string::npos);
  EXPECT_EQ(List(), "");
}

TEST_F(RegistrarTest, QueryWithoutContactAnswersTheLastBindingAndChangesNothing) {
  Register query;
  query.contact.clear();
  testhelp::UdpPeer second;
  Register first;
  ASSERT_EQ(StatusLine(Send(first)), "SIP/2.0 200 OK");
  Register again = first;
  again.cseq = 2;
  ASSERT_EQ(StatusLine(Send(again, second)), "SIP/2.0 200 OK");
  std::string before = List();
  EXPECT_EQ(std::count(before.begin(), before.end(), '\n'), 2);  // one line per source port

  query.cseq = 5;
  std::string answer = Send(query);
  EXPECT_EQ(StatusLine(answer), "SIP/2.0 200 OK");
  EXPECT_NE(answer.find("\r\nContact: <sip:" + Key(second) + ">;expires=3600\r\n"), std::string::npos) << answer;
  EXPECT_EQ(List(), before);

  Register unknown;
  unknown.user = "nobody";
  unknown.contact.clear();
  answer = Send(unknown);
  EXPECT_EQ(StatusLine(answer), "SIP/2.0 200 OK");
  EXPECT_EQ(answer.find("Contact"), std::string::npos);
}

TEST_F(RegistrarTest, UserCaseIsKeptButMatchedWithoutCase) {
  Register upper;
  upper.user = "DeSk";
  ASSERT_EQ(StatusLine(Send(upper)), "SIP/2.0 200 OK");
  EXPECT_EQ(List().substr(0, 5), "DeSk@");
  Register lower;
  lower.user = "desk";
  lower.cseq = 2;
  ASSERT_EQ(StatusLine(Send(lower)), "SIP/2.0 200 OK");
  // The same user and source: the old line is replaced.
  std::string list = List();
  EXPECT_EQ(list.substr(0, 5), "desk@");
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 1);
  std::string user = "DESK";
  EXPECT_EQ(FindRegistrationByUser(user, '@', kDefaultExpiration), 3600u);
  EXPECT_EQ(user, Key(peer_));
}

TEST_F(RegistrarTest, ExpiredLinesOfOtherUsersArePurged) {
  std::string data = module_.Data().File("SIP-REG.txt");
  testhelp::WriteFile(data,
                      "user@address:port\t[PIN]\t[RegTime]\t[Expires]\t[DateTime]\t[Name]\t[User-Agent]\n"
                      "old@10.0.0.9:5060\tPIN\t1000\t3600\tlong ago\tOld\tPhone\n"
                      "live@10.0.0.8:5060\tPIN\t" + std::to_string(CalendarSeconds()) + "\t3600\tnow\tLive\tPhone\n"
                      "\n");
  ASSERT_EQ(StatusLine(Send(Register{})), "SIP/2.0 200 OK");
  std::string list = List();
  EXPECT_EQ(list.find("old@"), std::string::npos);
  EXPECT_EQ(list.find("[PIN]"), std::string::npos);
  EXPECT_EQ(list.find("live@10.0.0.8:5060"), 0u);
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 2);
}

TEST_F(RegistrarTest, MissingValuesGive400) {
  std::string noUser = Register{}.Text();
  noUser.replace(noUser.find("To: \"Front Desk\" <sip:"), 24, "To: <tel:");
  peer_.SendTo(module_.SipPort(), noUser);
  EXPECT_EQ(StatusLine(peer_.Receive(2s).value_or("")), "SIP/2.0 400 Bad request");
  std::string noCallId = Register{}.Text();
  noCallId.erase(noCallId.find("Call-ID"), noCallId.find("CSeq") - noCallId.find("Call-ID"));
  peer_.SendTo(module_.SipPort(), noCallId);
  EXPECT_EQ(StatusLine(peer_.Receive(2s).value_or("")), "SIP/2.0 400 Bad request");
}

// With authentication on.
class AuthenticatedRegistrarTest : public RegistrarTest {
protected:
  void SetUp() override {
    RegistrarTest::SetUp();
    Settings().AuthenticateRegistrations = 1;
    testhelp::WriteFile(module_.Data().File("SIP-PIN.txt"), "UserID\tPassword\nDesk\tsecret\nempty\n");
  }
  static std::string Quoted(const std::string& text, const std::string& name) {
    size_t start = text.find(name + "=\"");
    if (start == std::string::npos) return {};
    start += name.size() + 2;
    return text.substr(start, text.find('"', start) - start);
  }
  // Answers the challenge in `challenge` as a phone would, for `uri` and the
  // challenge's realm unless another is given.
  static std::string Answer(const std::string& challenge, const std::string& user, const std::string& password,
                            const std::string& uri = "sip:127.0.0.1", const std::string& method = "REGISTER",
                            std::string realm = {}) {
    if (realm.empty()) realm = Quoted(challenge, "realm");
    std::string nonce = Quoted(challenge, "nonce");
    return "Authorization: Digest username=\"" + user + "\", realm=\"" + realm + "\", nonce=\"" + nonce +
           "\", uri=\"" + uri + "\", response=\"" + DigestResponse(user, realm, password, method, uri, nonce) +
           "\"\r\n";
  }
};

TEST_F(AuthenticatedRegistrarTest, ChallengeThenRegistrationUnderTheAuthenticatedName) {
  std::string challenge = Send(Register{});
  EXPECT_EQ(StatusLine(challenge), "SIP/2.0 401 Unauthorised");
  EXPECT_NE(challenge.find("\r\nWWW-Authenticate: Digest realm=\"desk@127.0.0.1\", nonce=\""), std::string::npos);
  Register answered;
  answered.cseq = 2;
  answered.authorization = Answer(challenge, "Desk", "secret");
  std::string answer = Send(answered);
  EXPECT_EQ(StatusLine(answer), "SIP/2.0 200 OK") << answer;
  EXPECT_NE(answer.find("<sip:" + Key(peer_, "Desk") + ">;expires=3600"), std::string::npos);
  EXPECT_EQ(List().substr(0, 5), "Desk@");
  EXPECT_EQ(NthToken(List(), "\t\n", 1), "AUTH");
}

TEST_F(AuthenticatedRegistrarTest, RefusalsByStatus) {
  Register stale;
  stale.cseq = 5;
  stale.authorization = "Authorization: Digest username=\"desk\", nonce=\"0123\"\r\n";
  EXPECT_EQ(StatusLine(Send(stale)), "SIP/2.0 401 Unauthorised");
  // Each refusal spends its nonce: every answer here answers a fresh challenge.
  int cseq = 10;
  auto refused = [&](const std::string& user, const std::string& password, const std::string& uri = "sip:127.0.0.1",
                     const std::string& realm = {}) {
    Register challenged;
    challenged.cseq = ++cseq;
    Register answered;
    answered.cseq = ++cseq;
    answered.authorization = Answer(Send(challenged), user, password, uri, "REGISTER", realm);
    return StatusLine(Send(answered));
  };
  EXPECT_EQ(refused("desk", "guess"), "SIP/2.0 403 Forbidden");
  EXPECT_EQ(refused("stranger", "secret"), "SIP/2.0 404 Not Found");
  EXPECT_EQ(refused("empty", ""), "SIP/2.0 404 Not Found");
  // The right password in an answer for another request URI or realm.
  EXPECT_EQ(refused("desk", "secret", "sip:127.0.0.2"), "SIP/2.0 403 Forbidden");
  EXPECT_EQ(refused("desk", "secret", "sip:127.0.0.1", "x@127.0.0.1"), "SIP/2.0 403 Forbidden");
  EXPECT_FALSE(testhelp::FileExists(module_.Data().File("SIP-REG.txt")));
}

TEST_F(AuthenticatedRegistrarTest, AWrongAnswerSpendsItsNonce) {
  std::string challenge = Send(Register{});
  Register wrong;
  wrong.cseq = 2;
  wrong.authorization = Answer(challenge, "Desk", "0000");
  ASSERT_EQ(StatusLine(Send(wrong)), "SIP/2.0 403 Forbidden");
  // The next guess on the same nonce is not verified: a plain fresh challenge.
  Register retry;
  retry.cseq = 3;
  retry.authorization = Answer(challenge, "Desk", "secret");
  std::string reply = Send(retry);
  EXPECT_EQ(StatusLine(reply), "SIP/2.0 401 Unauthorised");
  EXPECT_NE(Quoted(reply, "nonce"), Quoted(challenge, "nonce"));
  EXPECT_EQ(reply.find("stale"), std::string::npos);
  EXPECT_FALSE(testhelp::FileExists(module_.Data().File("SIP-REG.txt")));
  Register answered;
  answered.cseq = 4;
  answered.authorization = Answer(reply, "Desk", "secret");
  EXPECT_EQ(StatusLine(Send(answered)), "SIP/2.0 200 OK");
}

// "Authenticate invites" on: an INVITE without SDP offer is answered 488
// when let through, 401 or 403 when held back.
class InviteAuthenticationTest : public AuthenticatedRegistrarTest {
protected:
  static constexpr const char* kLetThrough = "SIP/2.0 488 Not Acceptable Here";
  static constexpr const char* kChallenged = "SIP/2.0 401 Unauthorised";
  void SetUp() override {
    AuthenticatedRegistrarTest::SetUp();
    Settings().AuthenticateRegistrations = 0;
    Settings().AuthenticateInvites = 1;
    testhelp::WriteFile(module_.Data().File("SIP-PIN.txt"), "Desk\tsecret\nbob\thunter2\n");
  }
  std::string Invite(const std::string& callId, const std::string& authorization, const testhelp::UdpPeer& from) {
    std::string invite = testhelp::Request({.method = "INVITE", .callId = callId, .extra = authorization,
                                            .from = "<sip:desk@127.0.0.1>;tag=" + callId.substr(0, 2)});
    from.SendTo(module_.SipPort(), testhelp::PadTo(invite, 300));
    return from.Receive(2s).value_or("");
  }
};

TEST_F(InviteAuthenticationTest, OnlyAnAuthenticatedRegistrationSkipsTheChallenge) {
  testhelp::UdpPeer plain, authenticated, fromAnOldList, asAnother;
  ASSERT_EQ(StatusLine(Send(Register{}, plain)), "SIP/2.0 200 OK");
  std::string line = "\t" + std::to_string(CalendarSeconds()) + "\t3600\td\tD\tP\n";
  testhelp::WriteFile(module_.Data().File("SIP-REG.txt"), List() + Key(authenticated) + "\tAUTH" + line +
                                                              Key(fromAnOldList) + "\tPIN" + line +
                                                              Key(asAnother, "alice") + "\tAUTH" + line);
  EXPECT_EQ(StatusLine(Invite("p1", {}, plain)), kChallenged);
  EXPECT_EQ(StatusLine(Invite("a1", {}, authenticated)), kLetThrough);
  EXPECT_EQ(StatusLine(Invite("o1", {}, fromAnOldList)), kChallenged);
  EXPECT_EQ(StatusLine(Invite("n1", {}, asAnother)), kChallenged);  // alice registered, desk calls
}

TEST_F(InviteAuthenticationTest, AnAnswerCountsForItsFromUserRealmRequestUriAndOneInviteOnly) {
  const struct {
    std::string user, password, uri, realm;  // empty realm: the challenge's
    const char* status;
  } rows[] = {
      {"Desk", "secret", "sip:lab@127.0.0.1", "", kLetThrough},  // the From user (SIP-PIN spells it Desk)
      {"bob", "hunter2", "sip:lab@127.0.0.1", "", "SIP/2.0 403 Forbidden"},  // another account
      {"Desk", "secret", "sip:lab@127.0.0.1:5070", "", "SIP/2.0 403 Forbidden"},
      {"Desk", "secret", "sip:lab@127.0.0.1", "bob@127.0.0.1", "SIP/2.0 403 Forbidden"},
  };
  std::string accepted;
  for (const auto& row : rows) {
    std::string callId = "c" + std::to_string(&row - rows), authorization, status;
    // Again when the 4-second nonce window turned between challenge and answer.
    for (int attempt = 0; attempt < 3; ++attempt) {
      std::string challenge = Invite(callId, {}, peer_);
      authorization = Answer(challenge, row.user, row.password, row.uri, "INVITE", row.realm);
      std::string reply = Invite(callId, authorization, peer_);
      status = StatusLine(reply);
      if (status != kChallenged || Quoted(reply, "nonce") == Quoted(challenge, "nonce")) break;
    }
    EXPECT_EQ(status, row.status) << row.user << " " << row.uri << " " << row.realm;
    if (status == kLetThrough) accepted = authorization;
  }
  // Captured and sent again, with another Call-ID from the same source and From tag.
  EXPECT_EQ(StatusLine(Invite("c0-replay", accepted, peer_)), kChallenged);
}

TEST_F(InviteAuthenticationTest, AWrongAnswerSpendsItsNonce) {
  std::string challenge = Invite("w1", {}, peer_);
  ASSERT_EQ(StatusLine(Invite("w1", Answer(challenge, "Desk", "0000", "sip:lab@127.0.0.1", "INVITE"), peer_)),
            "SIP/2.0 403 Forbidden");
  std::string reply = Invite("w1", Answer(challenge, "Desk", "secret", "sip:lab@127.0.0.1", "INVITE"), peer_);
  EXPECT_EQ(StatusLine(reply), kChallenged);
  EXPECT_EQ(reply.find("stale"), std::string::npos);
}

TEST_F(RegistrarTest, CraftedFieldsCannotPlantABinding) {
  std::string now = std::to_string(CalendarSeconds());
  // Where a list read in 259-character pieces would start a new line: in
  // the display name field, or 6 further ("Front" and a tab) in the agent's.
  size_t nameStart = Key(peer_).size() + std::string("\tPIN\t\t3600\t\t").size() + now.size() +
                     LocalDateText(CalendarSeconds()).size();
  Register tabInAgent;
  tabInAgent.userAgent = std::string(259 - nameStart - 6, 'u') + "victim@6.6.6.6\tAUTH\t" + now + "\t3600";
  Register tabInUser;
  tabInUser.user = "de\tsk";
  tabInUser.callId = "reg-2";
  Register quoteInUser;  // would end the quoted realm of its challenge early
  quoteInUser.user = "de\"sk";
  quoteInUser.callId = "reg-4";
  Register longName;
  longName.callId = "reg-3";
  longName.displayName = std::string(259 - nameStart, 'n') + "victim@6.6.6.6";
  Register hugeName;  // a thousand such would make a list of a megabyte
  hugeName.callId = "reg-5";
  hugeName.displayName = std::string(1000, 'n');
  Register hugeUser;
  hugeUser.callId = "reg-6";
  hugeUser.user = std::string(300, 'u');
  const struct {
    const Register& request;
    const char* status;
  } cases[] = {{tabInAgent, "SIP/2.0 400 Bad request"}, {tabInUser, "SIP/2.0 400 Bad request"},
               {quoteInUser, "SIP/2.0 400 Bad request"}, {longName, "SIP/2.0 200 OK"},
               {hugeUser, "SIP/2.0 400 Bad request"},    {hugeName, "SIP/2.0 200 OK"}};
  for (const auto& c : cases) {
    EXPECT_EQ(StatusLine(Send(c.request)), c.status) << c.request.Text();
    std::string victim = "victim";
    EXPECT_EQ(FindRegistrationByUser(victim, '@', kDefaultExpiration), 0u) << List();
    EXPECT_FALSE(AuthenticatedRegistrationFrom("victim", "6.6.6.6:5060", kDefaultExpiration)) << List();
  }
  std::string list = List();
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 1) << list;
  EXPECT_LT(list.size(), 400u);
}

TEST_F(RegistrarTest, NewBindingsBeyondTheSourceAddressLimitAreRefusedRefreshesNever) {
  Register request;
  for (int user = 0; user < 20; ++user) {
    request.user = "u" + std::to_string(user);
    request.callId = "limit-" + request.user;
    ASSERT_EQ(StatusLine(Send(request)), "SIP/2.0 200 OK") << user;
  }
  testhelp::UdpPeer samePlace;  // another port of the same address
  request.user = "u20";
  request.callId = "limit-u20";
  std::string refused = Send(request, samePlace);
  EXPECT_EQ(StatusLine(refused), "SIP/2.0 403 Forbidden");
  EXPECT_NE(refused.find("\r\nWarning: 399 talvenor \"Too many registrations\"\r\n"), std::string::npos) << refused;
  request.user = "u0";  // a refresh
  request.callId = "limit-u0";
  request.cseq = 2;
  EXPECT_EQ(StatusLine(Send(request)), "SIP/2.0 200 OK");
  if (!testhelp::OtherLoopbackSourcesWork()) return;  // Wine: every peer sends from 127.0.0.1
  testhelp::UdpPeer elsewhere(0x7f000002);
  request.user = "u20";
  EXPECT_EQ(StatusLine(Send(request, elsewhere)), "SIP/2.0 200 OK");
  std::string list = List();
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 21) << list;
}

// Faults mended in the registrar's lists.
class RegistrationListTest : public ::testing::Test {
protected:
  void SetUp() override { testhost_data_ = std::make_unique<testhelp::RunningModule>(); }
  std::string Path(const std::string& name) const { return testhost_data_->Data().File(name); }
  std::unique_ptr<testhelp::RunningModule> testhost_data_;
};

RegistrationChange Binding(const std::string& key, uint32_t lifetime = 3600) {
  int64_t now = CalendarSeconds();
  std::string address = key.substr(key.find('@') + 1, key.rfind(':') - key.find('@') - 1);
  return {key, address, key + "\tPIN\t" + std::to_string(now) + "\t3600\td\tN\tP\n", lifetime, kDefaultExpiration, now};
}

TEST_F(RegistrationListTest, TheBookHoldsNoMoreThanItsTotal) {
  RegistrationBook book({.perSourceAddress = 5, .total = 3});
  int written = 0;
  auto count = [&written](bool ok) { written += ok; };
  for (const char* key : {"a@10.0.0.1:5060", "b@10.0.0.2:5060", "c@10.0.0.3:5060"}) {
    EXPECT_EQ(book.Record(Binding(key), count), RegistrationBook::Outcome::Taken) << key;
  }
  EXPECT_EQ(book.Record(Binding("d@10.0.0.4:5060"), count), RegistrationBook::Outcome::OverLimit);
  EXPECT_EQ(book.Record(Binding("b@10.0.0.2:5060"), count), RegistrationBook::Outcome::Taken);
  EXPECT_EQ(book.Record(Binding("a@10.0.0.1:5060", 0), count), RegistrationBook::Outcome::Taken);
  EXPECT_EQ(book.Record(Binding("d@10.0.0.4:5060"), count), RegistrationBook::Outcome::Taken);
  EXPECT_EQ(written, 6);
  std::string list = testhelp::ReadFile(Path("SIP-REG.txt"));
  EXPECT_EQ(list.find("a@"), std::string::npos) << list;
  EXPECT_NE(list.find("d@10.0.0.4:5060\t"), std::string::npos) << list;
}

TEST_F(RegistrationListTest, LookupsSeeTheBookBeforeTheWriteAndTheWriterEndsWithItWritten) {
  RegistrationBook book;
  book.StartWriter();
  std::promise<void> release;
  std::promise<void> firstWritten;
  std::shared_future<void> released = release.get_future().share();
  // The writer stays in the first answer until released.
  book.Record(Binding("first@10.0.0.1:5060"), [&](bool) {
    firstWritten.set_value();
    released.wait();
  });
  firstWritten.get_future().wait();
  bool secondWritten = false;
  ASSERT_EQ(book.Record(Binding("second@10.0.0.2:5060"), [&](bool ok) { secondWritten = ok; }),
            RegistrationBook::Outcome::Taken);
  std::string user = "second";
  EXPECT_EQ(book.FindByUser(user, '@', kDefaultExpiration), 3600u);
  EXPECT_EQ(user, "second@10.0.0.2:5060");
  EXPECT_EQ(testhelp::ReadFile(Path("SIP-REG.txt")).find("second@"), std::string::npos);
  release.set_value();
  book.StopWriter();
  EXPECT_TRUE(secondWritten);
  EXPECT_NE(testhelp::ReadFile(Path("SIP-REG.txt")).find("second@10.0.0.2:5060\t"), std::string::npos);
}

// A refresh of the same length is written over its line and a new binding
// after the last; anything else writes the list anew, expired lines dropped.
// A book that reads the list anew finds a user's latest registration (a, not
// its older binding b) though a refresh kept its place in the list.
TEST_F(RegistrationListTest, TheBookWritesOnlyTheLinesThatChangedWhileTheListAllows) {
  int64_t now = CalendarSeconds();
  auto line = [now](const std::string& key, const std::string& name, int64_t age = 0) {
    return key + "\tPIN\t" + std::to_string(now - age) + "\t3600\td\t" + name + "\tP\n";
  };
  auto change = [&](const std::string& key, const std::string& name, uint32_t lifetime = 3600) {
    return RegistrationChange{key, "10.0.0.1", line(key, name), lifetime, kDefaultExpiration, now};
  };
  std::string a = "a@10.0.0.1:5060", b = "a@10.0.0.1:5062", c = "c@10.0.0.1:5060", old = line(b, "N", 10);
  testhelp::WriteFile(Path("SIP-REG.txt"), line(a, "N", 20) + old);
  RegistrationBook book;
  struct Step {
    RegistrationChange change;
    std::string list;
  } steps[] = {
      {change(a, "M"), line(a, "M") + old},                 // over its own line
      {change(c, "N"), line(a, "M") + old + line(c, "N")},  // after the last
      {change(a, "Longer"), old + line(c, "N") + line(a, "Longer")},
      {change(b, "N", 0), line(c, "N") + line(a, "Longer")},
  };
  for (Step& step : steps) {
    bool written = false;
    ASSERT_EQ(book.Record(step.change, [&](bool ok) { written = ok; }), RegistrationBook::Outcome::Taken);
    EXPECT_TRUE(written);
    EXPECT_EQ(testhelp::ReadFile(Path("SIP-REG.txt")), step.list) << step.change.key;
    std::string user = "a";
    RegistrationBook().FindByUser(user, '@', kDefaultExpiration);
    EXPECT_EQ(user, a) << step.change.key;
  }
  testhelp::WriteFile(Path("SIP-REG.txt"), line(b, "N", 4000) + line(c, "N"));
  book.Record(change(c, "M"), [](bool) {});
  EXPECT_EQ(testhelp::ReadFile(Path("SIP-REG.txt")), line(c, "M"));
}

// A list edited while a change waits for the writer: the change is written
// over the edited list, not where the lines were before.
TEST_F(RegistrationListTest, AChangeWaitingWhileTheListIsEditedLandsOnTheEditedList) {
  int64_t now = CalendarSeconds();
  auto line = [now](const std::string& key, char name) {
    return key + "\tPIN\t" + std::to_string(now) + "\t3600\td\t" + std::string(20, name) + "\tP\n";
  };
  auto change = [&](const std::string& key) {
    return RegistrationChange{key, "10.0.0.1", line(key, 'm'), 3600, kDefaultExpiration, now};
  };
  std::string a = "a@10.0.0.1:5060", b = "b@10.0.0.1:5060", desk = "desk@10.0.0.7:5060";
  testhelp::WriteFile(Path("SIP-REG.txt"), line(a, 'n') + line(b, 'n'));
  RegistrationBook book;
  book.StartWriter();
  std::promise<void> release, answering;
  std::shared_future<void> released = release.get_future().share();
  book.Record(change(a), [&](bool) {  // the writer stays in this answer until released
    answering.set_value();
    released.wait();
  });
  answering.get_future().wait();
  book.Record(change(b), [](bool) {});
  testhelp::WriteFile(Path("SIP-REG.txt"), line(desk, 'd') + line(a, 'm') + line(b, 'n'));
  release.set_value();
  book.StopWriter();
  EXPECT_EQ(testhelp::ReadFile(Path("SIP-REG.txt")), line(desk, 'd') + line(a, 'm') + line(b, 'm'));
}

TEST_F(RegistrationListTest, TheBookReadsAListEditedBesideIt) {
  RegistrationBook book;
  book.Record(Binding("mine@10.0.0.1:5060"), [](bool) {});
  std::string user = "mine";
  ASSERT_NE(book.FindByUser(user, '@', kDefaultExpiration), 0u);
  testhelp::WriteFile(Path("SIP-REG.txt"), "desk@10.0.0.7:5060\tAUTH\t" + std::to_string(CalendarSeconds()) +
                                               "\t3600\td\tD\tP\n");
  user = "mine";
  EXPECT_EQ(book.FindByUser(user, '@', kDefaultExpiration), 0u);
  EXPECT_TRUE(book.AuthenticatedFrom("desk", "10.0.0.7:5060", kDefaultExpiration));
}

TEST_F(RegistrationListTest, AddressLookupMatchesTheWholeAddressAndPort) {
  std::string now = std::to_string(CalendarSeconds());
  testhelp::WriteFile(Path("SIP-REG.txt"), "desk@10.0.0.7:5060\tAUTH\t" + now + "\t3600\td\tD\tP\n");
  EXPECT_TRUE(AuthenticatedRegistrationFrom("DESK", "10.0.0.7:5060", kDefaultExpiration));
  EXPECT_FALSE(AuthenticatedRegistrationFrom("desk", "10.0.0.7:50601", kDefaultExpiration));
  EXPECT_FALSE(AuthenticatedRegistrationFrom("desk", "10.0.0.7:506", kDefaultExpiration));
  EXPECT_FALSE(AuthenticatedRegistrationFrom("alice", "10.0.0.7:5060", kDefaultExpiration));
}

TEST_F(RegistrationListTest, ExpiredRegistrationsAreFoundByNoLookup) {
  // Registered long ago and never purged: the list is rewritten only when someone registers.
  std::string old = std::to_string(CalendarSeconds() - 7200);
  testhelp::WriteFile(Path("SIP-REG.txt"), "gone@10.0.0.9:5060\tAUTH\t" + old + "\t3600\td\tG\tP\n");
  EXPECT_FALSE(AuthenticatedRegistrationFrom("gone", "10.0.0.9:5060", kDefaultExpiration));
  std::string user = "gone";
  EXPECT_EQ(FindRegistrationByUser(user, '@', kDefaultExpiration), 0u);
  EXPECT_EQ(user, "gone");
}

TEST_F(RegistrationListTest, AKeyThatIsAPrefixOfAnotherDoesNotRemoveIt) {
  std::string now = std::to_string(CalendarSeconds());
  testhelp::WriteFile(Path("SIP-REG.txt"), "user@10.0.0.7:5060\tPIN\t" + now + "\t3600\td\tU\tP\n");
  ASSERT_TRUE(UpdateRegistrationList("user@10.0.0.7:50", "user@10.0.0.7:50\tPIN\t" + now + "\t3600\td\tU\tP\n",
                                     CalendarSeconds(), 3600, kDefaultExpiration));
  std::string list = testhelp::ReadFile(Path("SIP-REG.txt"));
  EXPECT_NE(list.find("user@10.0.0.7:5060\t"), std::string::npos);
  EXPECT_NE(list.find("user@10.0.0.7:50\t"), std::string::npos);
}

TEST_F(RegistrationListTest, UnwritableBackupLeavesTheListAsItWas) {
  std::string original = "keep@10.0.0.7:5060\tPIN\t" + std::to_string(CalendarSeconds()) + "\t3600\td\tK\tP\n";
  testhelp::WriteFile(Path("SIP-REG.txt"), original);
  std::filesystem::create_directory(Path("SIP-REG.bak"));  // the backup cannot be created
  EXPECT_FALSE(UpdateRegistrationList("new@10.0.0.8:5060", "new@10.0.0.8:5060\tPIN\t1\t3600\td\tN\tP\n",
                                      CalendarSeconds(), 3600, kDefaultExpiration));
  EXPECT_EQ(testhelp::ReadFile(Path("SIP-REG.txt")), original);
}

TEST_F(RegistrarTest, RegistrationThatCannotBeRecordedIsAnswered500) {
  // Opens, but every read fails: no rewrite from what little was read.
  std::filesystem::create_directory(module_.Data().File("SIP-REG.txt"));
  EXPECT_EQ(StatusLine(Send(Register{})), "SIP/2.0 500 Internal Server Error");
  EXPECT_FALSE(testhelp::FileExists(module_.Data().File("SIP-REG.bak")));
}

TEST_F(RegistrationListTest, AFailedRenameRemovesTheReplacement) {
  std::string occupied = Path("occupied");
  std::filesystem::create_directory(occupied);
  testhelp::WriteFile(occupied + "/file", "x");  // a folder that is not empty cannot be renamed over
  testhelp::WriteFile(Path("replacement"), "new");
  EXPECT_FALSE(ReplaceFile(Path("replacement"), occupied));
  EXPECT_FALSE(testhelp::FileExists(Path("replacement")));
  EXPECT_EQ(testhelp::ReadFile(occupied + "/file"), "x");
}

TEST_F(RegistrarTest, FailedRewriteIsAnswered500AndKeepsTheList) {
  // Without its last line feed the list is written anew, through the ".bak".
  std::string original = "keep@10.0.0.7:5060\tPIN\t" + std::to_string(CalendarSeconds()) + "\t3600\td\tK\tP";
  testhelp::WriteFile(module_.Data().File("SIP-REG.txt"), original);
  // A folder that is not empty, where the ".bak" should go, fails the write.
  std::filesystem::create_directory(module_.Data().File("SIP-REG.bak"));
  testhelp::WriteFile(module_.Data().File("SIP-REG.bak") + "/inside", "x");
  EXPECT_EQ(StatusLine(Send(Register{})), "SIP/2.0 500 Internal Server Error");
  EXPECT_EQ(List(), original);
}

TEST_F(RegistrationListTest, PasswordLookupTakesTheFirstUserWithAPassword) {
  testhelp::WriteFile(Path("SIP-PIN.txt"), "UserID\tPassword\nalice\nALICE\tfirst\nalice\tsecond\n");
  EXPECT_EQ(LookupPassword("Alice"), "first");
  EXPECT_EQ(LookupPassword("UserID"), "");  // the column titles are no account
  EXPECT_EQ(LookupPassword("bob"), "");
}

}  // namespace
}  // namespace talvenor
