// A gateway account against a fake gateway on 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "config/module_settings.h"
#include "module/sip_module.h"
#include "platform/clock.h"
#include "platform/endpoint.h"
#include "platform/periodic_timer.h"
#include "platform/resolver.h"
#include "registration/digest.h"
#include "registration/gateway_account.h"
#include "registration/gateway_routes.h"
#include "sip/call_id_number.h"
#include "sip/sip_message.h"
#include "tests/support/sip_samples.h"
#include "tests/support/test_helpers.h"

namespace talvenor {
namespace {

using namespace std::chrono_literals;
using testhelp::FirstLine;
using testhelp::Header;
using testhelp::Reply;

class GatewayAccountTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(module_.Started());
    Settings().DisplayName.Set("Desk");
    account_ = std::make_unique<GatewayAccount>(
        TheModule(), TheModule().ModuleLock(), CurrentAccountSettings, GatewayFields{true, "127.0.0.1:" + std::to_string(gateway_.Port()), "9", "555", "alice", "secret"});
    account_->nextSend = 0;
  }
  // One tick of the account; returns the REGISTER the gateway got, if any.
  std::string Tick() {
    {
      std::scoped_lock lock(TheModule().ModuleLock());
      account_->SendRegister();
    }
    return gateway_.Receive(500ms).value_or("");
  }
  // The gateway answers the last REGISTER with `status` and extra lines.
  void Answer(const std::string& request, const std::string& status, const std::string& extra = {}) {
    Deliver(Reply(request, status, extra));
  }
  // Offers the response to the accounts, as dispatch does.
  void Deliver(const std::string& response, std::vector<GatewayAccount*> accounts = {}) {
    SipMessage message(response, LoopbackAddress(), NetworkPort(gateway_.Port()));
    if (accounts.empty()) accounts.push_back(account_.get());
    std::scoped_lock lock(TheModule().ModuleLock());
    for (GatewayAccount* account : accounts) account->OnGatewayResponse(message);
  }

  testhelp::MessageRecorder messages_;
  testhelp::RunningModule module_;
  testhelp::UdpPeer gateway_;
  std::unique_ptr<GatewayAccount> account_;
};

TEST_F(GatewayAccountTest, RegisterIsComposedInTheFixedOrder) {
  std::string request = Tick();
  std::string port = std::to_string(gateway_.Port());
  std::string portSuffix = module_.SipPort() == 5060 ? "" : ":" + std::to_string(module_.SipPort());
  std::string tag = std::to_string(account_->Tag());
  std::string expected = "REGISTER sip:127.0.0.1:" + port + " SIP/2.0\r\n"
                         "Via: SIP/2.0/UDP 127.0.0.1" + portSuffix + ";branch=" + account_->branch + ";rport\r\n"
                         "To: \"Desk\" <sip:alice@127.0.0.1>\r\n"
                         "From: \"Desk\" <sip:alice@127.0.0.1>;tag=" + tag + "\r\n" +
                         account_->callIdLine + "\r\n"
                         "CSeq: 1 REGISTER\r\n"
                         "Max-Forwards: 70\r\n"
                         "Contact: <sip:alice@127.0.0.1" + portSuffix + ">;expires=3600\r\n"
                         "User-Agent: Talvenor 7.2\r\n"
                         "Content-Length: 0\r\n\r\n";
  EXPECT_EQ(request, expected);
  EXPECT_EQ(account_->branch.size(), 7 + tag.size() + 1 + 16);
  EXPECT_EQ(account_->branch.rfind("z9hG4bK" + tag + ".", 0), 0u);
  EXPECT_EQ(account_->callIdLine.rfind("Call-ID: call-", 0), 0u);
  EXPECT_TRUE(account_->callIdLine.ends_with("@127.0.0.1"));
  EXPECT_EQ(account_->attemptsLeft, 5);
}

TEST_F(GatewayAccountTest, ChallengeIsAnsweredAndTheCredentialsStayForRefreshes) {
  std::string first = Tick();
  Answer(first, "401 Unauthorized",
         "WWW-Authenticate: Digest realm=\"gw\", nonce=\"abc123\", opaque=\"op\"\r\n");
  EXPECT_EQ(account_->cseq, 2);
  std::string second = Tick();
  std::string uri = "sip:127.0.0.1:" + std::to_string(gateway_.Port());
  std::string credentials = "\r\nAuthorization: Digest username=\"alice\", realm=\"gw\", nonce=\"abc123\", uri=\"" +
                            uri + "\", response=\"" + DigestResponse("alice", "gw", "secret", "REGISTER", uri, "abc123") +
                            "\", opaque=\"op\"\r\nUser-Agent:";
  EXPECT_NE(second.find(credentials), std::string::npos) << second;
  EXPECT_NE(second.find("CSeq: 2 REGISTER\r\n"), std::string::npos);
  EXPECT_EQ(Header(second, "Call-ID"), Header(first, "Call-ID"));
  Answer(second, "200 OK", "Contact: <sip:alice@127.0.0.1>;expires=1800\r\n");
  EXPECT_EQ(account_->attemptsLeft, 6);
  EXPECT_NEAR(account_->nextSend, CalendarSeconds() + 1800 - 6, 2);
  // The refresh carries the same credentials line.
  account_->nextSend = 0;
  std::string refresh = Tick();
  EXPECT_NE(refresh.find(credentials), std::string::npos);
  EXPECT_NE(refresh.find("CSeq: 3 REGISTER\r\n"), std::string::npos);
}

TEST_F(GatewayAccountTest, ProxyChallengeWithoutItsHeaderStillProducesALine) {
  std::string first = Tick();
  Answer(first, "407 Proxy Authentication Required");
  EXPECT_EQ(account_->proxyAuthorizationLine.find(
                "\r\nProxy-Authorization: Digest username=\"alice\", realm=\"\", nonce=\"\", uri="),
            0u);
  EXPECT_TRUE(account_->authorizationLine.empty());
}

TEST_F(GatewayAccountTest, GrantedLifetimes) {
  std::string request = Tick();
  Answer(request, "200 OK", "Expires: 65600\r\n");  // taken modulo 65536
  EXPECT_NEAR(account_->nextSend, CalendarSeconds() + 64 - 6, 2);
  account_->nextSend = 0;
  request = Tick();
  Answer(request, "200 OK");  // no lifetime at all: the one asked for, never a REGISTER every tick
  EXPECT_NEAR(account_->nextSend, CalendarSeconds() + 3600 - 6, 2);
  EXPECT_TRUE(Tick().empty());
}

TEST_F(GatewayAccountTest, AccountsMadeInOneMillisecondTakeOnlyTheirOwnResponses) {
  EXPECT_NE(NewCallIdNumber(), NewCallIdNumber());
  GatewayAccount second(TheModule(), TheModule().ModuleLock(), CurrentAccountSettings, {true, account_->address, "", "", "bob", "secret"});
  second.nextSend = 0;
  std::string first;
  {
    std::scoped_lock lock(TheModule().ModuleLock());
    account_->SendRegister();
    second.SendRegister();
  }
  first = gateway_.Receive(500ms).value_or("");
  std::string other = gateway_.Receive(500ms).value_or("");
  ASSERT_NE(Header(first, "Call-ID"), Header(other, "Call-ID"));
  if (Header(first, "From").find("alice") == std::string::npos) std::swap(first, other);
  Deliver(Reply(first, "403 Forbidden"), {account_.get(), &second});  // refuses alice only
  EXPECT_EQ(account_->attemptsLeft, 0);
  EXPECT_NE(second.attemptsLeft, 0);
}

TEST_F(GatewayAccountTest, ViaAndContactNameTheBoundPortNotAChangedSetting) {
  Settings().SipPort = static_cast<uint16_t>(module_.SipPort() + 1);  // the SIP Address page, before a restart
  std::string request = Tick();
  std::string bound = ":" + std::to_string(module_.SipPort());
  EXPECT_NE(Header(request, "Via").find("127.0.0.1" + bound + ";branch="), std::string::npos) << request;
  EXPECT_NE(Header(request, "Contact").find("@127.0.0.1" + bound + ">"), std::string::npos) << request;
}

TEST_F(GatewayAccountTest, ResponsesOfOtherRequestsAreIgnored) {
  std::string first = Tick();
  Answer(first, "401 Unauthorized", "WWW-Authenticate: Digest realm=\"gw\", nonce=\"n\"\r\n");
  std::string second = Tick();
  Answer(first, "403 Forbidden");  // the older CSeq
  std::string otherCall = second;
  otherCall.replace(otherCall.find("Call-ID: call-"), 14, "Call-ID: other-");
  Answer(otherCall, "403 Forbidden");
  // A stranger who knows the Call-ID and CSeq but not the branch, or who
  // sends from another address than the gateway's, stops nothing.
  std::string guessed = second;
  guessed.replace(guessed.find(";branch=") + 8, account_->branch.size(), "z9hG4bK" + std::to_string(account_->Tag()));
  Answer(guessed, "403 Forbidden");
  account_->OnGatewayResponse(SipMessage(Reply(second, "403 Forbidden"), LoopbackAddress() + (1u << 24),
                                         NetworkPort(gateway_.Port())));
  EXPECT_EQ(account_->attemptsLeft, 4);
  // A retransmission keeps its branch; a response to either is the account's.
  account_->nextSend = 0;
  EXPECT_EQ(Header(Tick(), "Via"), Header(second, "Via"));
  // Case does not matter for the account's own lines.
  std::string callId = Header(second, "Call-ID");
  for (char& c : callId) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  Deliver("SIP/2.0 200 OK\r\n" + Header(second, "Via") + "\r\n" + callId +
          "\r\nCSEQ: 2 register\r\nExpires: 600\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(account_->attemptsLeft, 6);
}

TEST_F(GatewayAccountTest, FailureStatusesStopTheAccountWithTheirMessage) {
  const std::pair<const char*, int> table[] = {
      {"400 Bad Request", 1017}, {"402 Payment Required", 1018}, {"403 Forbidden", 1019},
      {"404 Not Found", 1020},   {"405 Method Not Allowed", 1021}, {"406 Not Acceptable", 1022},
      {"302 Moved Temporarily", 1016}, {"480 Temporarily Unavailable", 1016}, {"513 Message Too Large", 1016},
  };
  std::vector<int> expected;
  for (const auto& [status, message] : table) {
    account_->attemptsLeft = 6;
    account_->nextSend = 0;
    Answer(Tick(), status);
    EXPECT_EQ(account_->attemptsLeft, 0) << status;
    expected.push_back(message);
  }
  std::vector<int> shown = messages_.Ids();  // each from a thread of its own, in any order
  std::sort(shown.begin(), shown.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(shown, expected);
}

TEST_F(GatewayAccountTest, ProvisionalGlobalAndUnknownStatusesKeepRetransmitting) {
  std::string request = Tick();
  for (const char* status : {"100 Trying", "603 Decline", "202 Accepted", "422 Session Interval Too Small"}) {
    Answer(request, status);
    EXPECT_EQ(account_->attemptsLeft, 5) << status;
  }
  EXPECT_TRUE(messages_.Ids().empty());
}

TEST_F(GatewayAccountTest, FiveTransmissionsThenMessage1014) {
  for (int sent = 0; sent < 5; ++sent) EXPECT_FALSE(Tick().empty()) << sent;
  EXPECT_TRUE(Tick().empty());
  EXPECT_EQ(account_->attemptsLeft, 0);
  EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"Cannot authenticate with the gateway!"});
  EXPECT_TRUE(Tick().empty());  // idle now
}

TEST_F(GatewayAccountTest, IntervalTooBriefAdoptsTheMinimum) {
  std::string request = Tick();
  Answer(request, "423 Interval Too Brief", "Min-Expires: 7200\r\n");
  EXPECT_EQ(account_->expires, 7200);
  EXPECT_EQ(account_->cseq, 2);
  EXPECT_NE(Tick().find(">;expires=7200\r\n"), std::string::npos);
  Answer(Tick(), "423 Interval Too Brief");
  EXPECT_EQ(account_->attemptsLeft, 0);
  EXPECT_EQ(messages_.Ids(), std::vector<int>{1015});
}

TEST_F(GatewayAccountTest, AddressPortRules) {
  account_->address = "127.0.0.1";
  std::string request;
  {
    std::scoped_lock lock(TheModule().ModuleLock());
    account_->SendRegister();
  }
  EXPECT_EQ(account_->gatewayPort, NetworkPort(5060));
  account_->address = "127.0.0.1:0";
  account_->nextSend = 0;
  {
    std::scoped_lock lock(TheModule().ModuleLock());
    account_->SendRegister();
  }
  EXPECT_EQ(account_->gatewayPort, NetworkPort(5060));
  EXPECT_EQ(account_->gatewayIp, LoopbackAddress());
}

TEST_F(GatewayAccountTest, UnresolvableGatewayStopsWith1010) {
  account_->address = "no-such-gateway.invalid:5060";
  SetHostLookup([](const std::string&) -> uint32_t { return 0; });  // the name has no address, at once
  EXPECT_TRUE(Tick().empty());
  SetHostLookup(nullptr);
  EXPECT_EQ(account_->attemptsLeft, 0);
  EXPECT_EQ(messages_.Ids(), std::vector<int>{1010});
}

TEST_F(GatewayAccountTest, ToggleStopsARunningRegistrationWithoutTheDialog) {
  int dialogs = 0;
  SetCredentialsDialog([&](const CredentialsOffer&) {
    ++dialogs;
    return std::optional<Credentials>(Credentials{"x", "y"});
  });
  Answer(Tick(), "200 OK", "Expires: 600\r\n");
  account_->ToggleRegistration();
  EXPECT_EQ(account_->expires, 0);
  EXPECT_FALSE(account_->ShowsRegistered());
  account_->ToggleRegistration();  // still unregistering: nothing more
  EXPECT_EQ(dialogs, 0);
  std::string unregister = Tick();
  EXPECT_NE(unregister.find(">;expires=0\r\n"), std::string::npos);
  Answer(unregister, "200 OK", "Expires: 600\r\n");
  EXPECT_EQ(account_->attemptsLeft, 0);
  SetCredentialsDialog(nullptr);
}

TEST_F(GatewayAccountTest, ToggleStartsOnlyAfterTheDialogIsConfirmed) {
  account_->attemptsLeft = 0;
  account_->authorizationLine = "\r\nAuthorization: old";
  account_->callIdLine = "Call-ID: call-1@127.0.0.1";
  account_->cseq = 9;
  account_->expires = 0;
  SetCredentialsDialog([](const CredentialsOffer&) { return std::optional<Credentials>(); });
  account_->ToggleRegistration();
  EXPECT_EQ(account_->attemptsLeft, 0);
  // With no user id the caller id is offered in its place.
  account_->userId.clear();
  account_->callerId = "5551234";
  CredentialsOffer offered;
  SetCredentialsDialog([&](const CredentialsOffer& offer) {
    offered = offer;
    return std::optional<Credentials>(Credentials{"bob", "pw"});
  });
  account_->ToggleRegistration();
  EXPECT_EQ(offered.userId, "5551234");
  EXPECT_EQ(offered.gateway, account_->address);
  EXPECT_EQ(account_->password, "pw");
  EXPECT_EQ(account_->attemptsLeft, 6);
  EXPECT_EQ(account_->expires, 3600);
  EXPECT_EQ(account_->nextSend, 0);
  EXPECT_TRUE(account_->authorizationLine.empty());
  EXPECT_TRUE(account_->callIdLine.empty());
  EXPECT_EQ(account_->cseq, 9);
  EXPECT_NE(Tick().find("From: \"Desk\" <sip:bob@127.0.0.1>"), std::string::npos);
  SetCredentialsDialog(nullptr);
}

TEST_F(GatewayAccountTest, ToggleWithoutAddressShows1010) {
  account_->attemptsLeft = 0;
  account_->address.clear();
  account_->ToggleRegistration();
  EXPECT_EQ(messages_.Ids(), std::vector<int>{1010});
}

TEST_F(GatewayAccountTest, AccountsOnOneGatewayHaveTheirOwnTags) {
  GatewayFields fields{true, account_->address, "", "", "alice", "secret"};
  GatewayAccount second(TheModule(), TheModule().ModuleLock(), CurrentAccountSettings, fields);
  GatewayAccount third(TheModule(), TheModule().ModuleLock(), CurrentAccountSettings, fields);
  EXPECT_NE(account_->Tag(), second.Tag());
  EXPECT_NE(second.Tag(), third.Tag());
  EXPECT_NE(account_->Tag(), third.Tag());
}

TEST(GatewayRegistration, ASlowGatewayLookupHoldsUpNeitherReceivedMessagesNorTheHostsThread) {
  std::mutex mutex;
  std::condition_variable changed;
  bool looking = false;
  bool released = false;
  SetHostLookup([&](const std::string&) -> uint32_t {
    std::unique_lock lock(mutex);
    looking = true;
    changed.notify_all();
    changed.wait_for(lock, 10s, [&] { return released; });
    return LoopbackAddress();
  });
  auto release = [&] {
    std::scoped_lock lock(mutex);
    released = true;
    changed.notify_all();
  };
  // The module runs on a host thread of its own, which gives the timer its
  // ticks as a host's message loop would (on Windows the ticks come only on
  // the thread that started the module): its loop must go on turning while
  // the lookup hangs.
  ForgetGatewayRoutes();
  std::promise<uint16_t> started;
  std::atomic<bool> finished{false};
  std::atomic<int> hostLoops{0};
  std::thread host([&] {
    testhelp::RunningModule module({{std::string("GW0"), std::string("1, slow.gateway.test, , , desk, secret")}});
    started.set_value(module.Started() ? module.SipPort() : 0);
    while (!finished) {
      PeriodicTimer::RunDueCalls();
      ++hostLoops;
      std::this_thread::sleep_for(10ms);
    }
    module.Shutdown();
  });
  uint16_t sipPort = started.get_future().get();
  bool inLookup = false;
  if (sipPort != 0) {
    std::unique_lock lock(mutex);
    inLookup = changed.wait_for(lock, 5s, [&] { return looking; });  // the timer is inside the lookup
  }
  std::optional<std::string> answer;
  bool hostTurning = false;
  if (inLookup) {
    testhelp::UdpPeer phone;
    phone.SendTo(sipPort, testhelp::Request("OPTIONS", "while-resolving"));
    answer = phone.Receive(1s);
    // Past several ticks (888 ms each) with the lookup still hanging.
    int before = hostLoops;
    for (int wait = 0; wait < 300 && hostLoops < before + 150; ++wait) std::this_thread::sleep_for(10ms);
    hostTurning = hostLoops >= before + 150;
  }
  release();
  finished = true;
  host.join();
  SetHostLookup(nullptr);
  ASSERT_NE(sipPort, 0);
  ASSERT_TRUE(inLookup);
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(FirstLine(*answer), "SIP/2.0 405 Method Not Allowed");
  EXPECT_TRUE(hostTurning);
}

}  // namespace
}  // namespace talvenor
