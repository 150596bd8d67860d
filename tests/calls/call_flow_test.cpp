// Outgoing and incoming calls through the module's slots and socket, with a
// far end on 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "calls/call_line.h"
#include "calls/call_timing.h"
#include "calls/line_threads.h"
#include "config/module_settings.h"
#include "module/sip_module.h"
#include "platform/clock.h"
#include "platform/endpoint.h"
#include "platform/periodic_timer.h"
#include "platform/resolver.h"
#include "registration/gateway_accounts.h"
#include "tests/support/sip_samples.h"
#include "tests/support/test_helpers.h"
#include "tests/support/test_host.h"

namespace talvenor {
namespace {

using namespace std::chrono_literals;

using testhelp::FirstLine;
using testhelp::Header;
using testhelp::Reply;

class CallFlowTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(module_.Started());
    SetCallTiming({20ms, 6, 30});
    Settings().LocalAddress.Set("127.0.0.1");
    Settings().DisplayName.Set("");
    Settings().RtpBasePort = static_cast<uint16_t>(testhelp::FreeUdpPort() & ~1u);
    testhost::Reset();
  }
  void TearDown() override {
    for (int index = 0; index < 4; ++index) {
      TheModule().HangUp(index);
      TheModule().ReleaseLine(index, 0);
    }
    EXPECT_TRUE(WaitForLineThreads(5s));
    SetCallTiming({});
  }
  int Place(const std::string& target, int callMode = 0) {
    return TheModule().PlaceCall(&phone_, callMode, target, "desk", "Desk", "");
  }
  std::string Far() const { return "127.0.0.1:" + std::to_string(far_.Port()); }
  // The arguments of the host's n-th OnIncomingCall (from 0), once it came:
  // the 180 goes out just before the host is asked.
  static std::vector<std::string> Offered(size_t call) {
    for (int wait = 0; wait < 100; ++wait) {
      std::vector<testhost::HostCall> offered = testhost::StaticCallsNamed("OnIncomingCall");
      if (offered.size() > call) return offered[call].arguments;
      std::this_thread::sleep_for(20ms);
    }
    ADD_FAILURE() << "the host was not offered call " << call;
    return std::vector<std::string>(7, "-1");
  }
  void ToModule(const std::string& text) { far_.SendTo(module_.SipPort(), text); }
  std::string Next(std::chrono::milliseconds wait = 1s) { return far_.Receive(wait).value_or(""); }
  std::string Sdp() const {
    return "v=0\r\nc=IN IP4 127.0.0.1\r\nm=audio " + std::to_string(farMedia_.Port()) + " RTP/AVP 0\r\n";
  }
  std::string Invite(const std::string& callId, const std::string& body = "-") {
    return testhelp::Request({.method = "INVITE", .callId = callId,
                              .extra = "Contact: <sip:1234@" + Far() + ">\r\nContent-Type: application/sdp\r\n",
                              .uri = "sip:5678@127.0.0.1", .to = "<sip:5678@127.0.0.1>",
                              .from = "\"Front Desk\" <sip:1234@127.0.0.1>;tag=1", .via = Far(),
                              .branch = "z9hG4bK" + callId, .body = body == "-" ? Sdp() : body});
  }
  // A request of the caller on the far end to 5678, in the call `callId`.
  std::string FromCaller(const std::string& method, const std::string& callId, const std::string& to,
                         const std::string& from, const std::string& branch, int cseq = 1) {
    return testhelp::Request({.method = method, .callId = callId, .cseq = cseq, .uri = "sip:5678@127.0.0.1",
                              .to = to, .from = from, .via = Far(), .branch = branch});
  }
  // The caller's ACK of a final answer, in the dialog of the answer `ringing`.
  std::string Ack(const std::string& ringing, const std::string& branch) {
    return FromCaller("ACK", Header(ringing, "Call-ID").substr(9), Header(ringing, "To").substr(4),
                      Header(ringing, "From").substr(6), branch);
  }

  testhelp::MessageRecorder messages_;
  testhelp::RunningModule module_{{{std::string("GW0"), std::string("0, , , , , ")}}};
  testhelp::UdpPeer far_;
  testhelp::UdpPeer farMedia_;
  testhost::RecordingConnection phone_;
};

TEST_F(CallFlowTest, AnOutgoingCallIsAnsweredAndHungUp) {
  int line = Place("lab@" + Far());
  ASSERT_GE(line, 0);
  std::string invite = Next();
  ASSERT_EQ(FirstLine(invite), "INVITE sip:lab@" + Far() + " SIP/2.0");
  std::string suffix = ":" + std::to_string(module_.SipPort());
  EXPECT_EQ(Header(invite, "Via").find("Via: SIP/2.0/UDP 127.0.0.1" + suffix + ";branch=z9hG4bK"), 0u);
  EXPECT_EQ(Header(invite, "Contact"), "Contact: <sip:127.0.0.1" + suffix + ">");
  EXPECT_EQ(Header(invite, "From").find("From: \"Desk\" <sip:desk@127.0.0.1>;tag="), 0u) << invite;
  EXPECT_EQ(Header(invite, "Call-ID").find("Call-ID: call-"), 0u);
  EXPECT_NE(invite.find("\r\n\r\nv=0\r\n"), std::string::npos);
  ToModule(Reply(invite, "180 Ringing"));
  ToModule(Reply(invite, "200 OK", "Content-Type: application/sdp\r\n", Sdp()));
  std::string ack = Next();
  EXPECT_EQ(Header(ack, "CSeq"), "CSeq: 1 ACK");
  EXPECT_TRUE(phone_.WaitForCount("OnConnected", 1, 1s));
  TheModule().HangUp(line);
  std::string bye = Next();
  EXPECT_EQ(Header(bye, "CSeq"), "CSeq: 2 BYE");
  ToModule(Reply(bye, "200 OK"));
  ASSERT_TRUE(WaitForLineThreads(3s));
  EXPECT_EQ(phone_.Reasons(), std::vector<int>{kEndNormal});
}

TEST_F(CallFlowTest, TargetsAreResolvedAsThePhoneDialsThem) {
  // A phone registered here from 127.0.0.2, where no gateway is.
  SetReverseLookup([](uint32_t) { return std::string("registered"); });  // its name, without DNS
  testhelp::UdpPeer registered(0x7f000002);
  std::string registeredAt = "127.0.0.2:" + std::to_string(registered.Port());
  testhelp::WriteFile(module_.Data().File("SIP-REG.txt"),
                      "1234@" + registeredAt + "\tPIN\t" + std::to_string(CalendarSeconds()) + "\t3600\td\tD\tP\n");
  {
    std::scoped_lock lock(TheModule().ModuleLock());
    GatewayAccount& gateway = *TheModule().Gateways()[0];
    gateway.address = Far();
    gateway.prefix = "9";
    gateway.callerId = "555";
  }
  Settings().SelectedGateway = 0;
  const struct {
    std::string target;
    std::string requestLine;
    std::string fromUser;
  } cases[] = {
      {"1234@", "INVITE sip:1234@" + registeredAt + " SIP/2.0", "desk"},  // a user registered here
      // Not registered: through the selected gateway, its prefix for the leading zeros, its caller id.
      {"0049301234@", "INVITE sip:949301234@" + Far() + " SIP/2.0", "555"},
      {"lab@" + Far(), "INVITE sip:9lab@" + Far() + " SIP/2.0", "555"},  // the gateway's own address
  };
  std::set<std::string> callIds;
  for (const auto& c : cases) {
    int line = Place(c.target);
    ASSERT_GE(line, 0) << c.target;
    std::string invite = c.fromUser == "desk" ? registered.Receive(1s).value_or("") : Next();
    callIds.insert(Header(invite, "Call-ID"));  // never the RTP port, which calls may share in turn
    EXPECT_EQ(FirstLine(invite), c.requestLine);
    EXPECT_EQ(Header(invite, "From").find("From: \"Desk\" <sip:" + c.fromUser + "@127.0.0.1>"), 0u) << invite;
    TheModule().HangUp(line);
    TheModule().ReleaseLine(line, 0);
    far_.ReceiveAll(200ms);
  }
  EXPECT_EQ(callIds.size(), std::size(cases));
  // A port of 0 is the default port.
  int line = Place("lab@127.0.0.1:0");
  ASSERT_GE(line, 0);
  for (int wait = 0; wait < 50 && TheModule().Line(line)->SipPeer().port == 0; ++wait) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(HostPort(TheModule().Line(line)->SipPeer().port), 5060);
  SetReverseLookup(nullptr);
}

TEST_F(CallFlowTest, AShutdownKeepsTheLibraryLoadedForACallStuckInALookup) {
  std::mutex mutex;
  std::condition_variable changed;
  bool looking = false;
  bool released = false;
  SetHostLookup([&](const std::string&) -> uint32_t {
    std::unique_lock lock(mutex);
    looking = true;
    changed.notify_all();
    changed.wait_for(lock, 20s, [&] { return released; });
    return 0;
  });
  int line = Place("lab@never.answers.test");
  bool stuck = false;
  {
    std::unique_lock lock(mutex);
    stuck = line >= 0 && changed.wait_for(lock, 5s, [&] { return looking; });
  }
  int keptBefore = SipModule::LibraryKeptLoadedCount();
  if (stuck) module_.Shutdown();  // the host may unload the library next: the stuck thread would return into nothing
  int keptAfter = SipModule::LibraryKeptLoadedCount();
  {
    std::scoped_lock lock(mutex);
    released = true;
    changed.notify_all();
  }
  EXPECT_TRUE(WaitForLineThreads(5s));
  SetHostLookup(nullptr);
  ASSERT_TRUE(stuck);
  EXPECT_EQ(keptAfter, keptBefore + 1);
}

TEST_F(CallFlowTest, OutgoingFailuresAreToldOnce) {
  const struct {
    std::string target;
    int callMode;
    int reason;
    std::string userId = "desk";
  } cases[] = {
      {"lab@" + Far(), 1, kEndUnreachable},
      {"@", 0, kEndUnreachable},  // would match every registration
      {"", 0, kEndUnreachable},
      {"lab@no-such-host.invalid", 0, kEndUnreachable},
      // A line break or NUL from the host would write header lines of its own.
      {"lab@" + Far() + "\r\nX-Injected: 1", 0, kEndUnreachable},
      {"lab@" + Far(), 0, kEndUnreachable, "desk\nX-Injected: 1"},
      {"lab@" + Far(), 0, kEndUnreachable, std::string("desk\0x", 6)},
  };
  SetHostLookup([](const std::string&) -> uint32_t { return 0; });  // no name has an address, at once
  for (const auto& c : cases) {
    testhost::RecordingConnection phone;
    int line = TheModule().PlaceCall(&phone, c.callMode, c.target, c.userId, "", "");
    ASSERT_GE(line, 0);
    ASSERT_TRUE(WaitForLineThreads(5s));
    TheModule().HangUp(line);  // the host may still hang up: it hears nothing more
    EXPECT_EQ(phone.Reasons(), std::vector<int>{c.reason}) << c.target;
    TheModule().ReleaseLine(line, 0);
  }
  SetHostLookup(nullptr);
  EXPECT_TRUE(far_.ReceiveAll(100ms).empty());  // none of them sent anything
  // A far end that never answers gets six INVITEs, then the host hears why.
  ASSERT_GE(Place("lab@" + Far()), 0);
  ASSERT_TRUE(WaitForLineThreads(5s));
  EXPECT_EQ(far_.ReceiveAll(200ms).size(), 6u);
  EXPECT_EQ(phone_.Reasons(), std::vector<int>{kEndNoResponse});
}

TEST_F(CallFlowTest, AChallengedCallThroughAGatewayAnswersWithItsCredentials) {
  {
    std::scoped_lock lock(TheModule().ModuleLock());
    GatewayAccount& gateway = *TheModule().Gateways()[0];
    gateway.address = Far();
    gateway.userId = "alice";
    gateway.password = "secret";
  }
  SetCallTiming({200ms, 6, 30});  // room for the challenge between two passes
  phone_.SetHook(testhost::ReleaseLineOnDisconnect(TheModule(), 0));
  ASSERT_EQ(Place("lab@" + Far()), 0);
  std::string invite = Next();
  ToModule(Reply(invite, "401 Unauthorized", "WWW-Authenticate: Digest realm=\"gw\", nonce=\"n1\"\r\n"));
  std::string ack = Next();
  EXPECT_EQ(FirstLine(ack).substr(0, 4), "ACK ");
  EXPECT_EQ(Header(ack, "CSeq"), "CSeq: 1 ACK");
  std::string second = Next();
  EXPECT_EQ(Header(second, "CSeq"), "CSeq: 2 INVITE");
  // The digest names the INVITE's own request URI, as a server that binds answers to requests wants.
  EXPECT_NE(second.find("\r\nCSeq: 2 INVITE\r\nMax-Forwards: 70\r\nAuthorization: Digest username=\"alice\", realm=\"gw\""
                        ", nonce=\"n1\", uri=\"sip:lab@" + Far() + "\""),
            std::string::npos)
      << second;
  ToModule(Reply(second, "486 Busy Here"));
  EXPECT_EQ(Header(Next(), "CSeq"), "CSeq: 2 ACK");
  ASSERT_TRUE(WaitForLineThreads(5s));
  EXPECT_EQ(phone_.Reasons(), std::vector<int>{kEndBusy});
  EXPECT_FALSE(TheModule().Line(0));
}

TEST_F(CallFlowTest, AnIncomingCallRingsIsOfferedAndAnswered) {
  ToModule(Invite("in-1"));
  std::string trying = Next();
  std::string ringing = Next();
  EXPECT_EQ(FirstLine(trying), "SIP/2.0 100 Trying");
  EXPECT_EQ(Header(trying, "To"), "To: <sip:5678@127.0.0.1>");  // no tag yet
  EXPECT_EQ(FirstLine(ringing), "SIP/2.0 180 Ringing");
  EXPECT_EQ(Header(ringing, "To").find("To: <sip:5678@127.0.0.1>;tag="), 0u);
  std::vector<std::string> offered = Offered(0);
  EXPECT_EQ(offered[2], "1234#5678");     // the caller text
  EXPECT_EQ(offered[3], "SIP " + Far());  // where the call comes from
  EXPECT_EQ(offered[4], "Front");         // the first word of the display name
  int line = std::stoi(offered[0]);
  TheModule().Answer(line, 0, 0, 0);
  TheModule().Answer(line, 0, 0, 0);  // once only
  std::string ok = Next();
  EXPECT_EQ(FirstLine(ok), "SIP/2.0 200 OK");
  EXPECT_NE(ok.find("\r\nContent-Type: application/sdp\r\n"), std::string::npos);
  EXPECT_EQ(Header(Next(), "CSeq"), "CSeq: 1 INVITE");  // repeated until the ACK
  ToModule(Ack(ringing, "z9hG4bKack"));
  std::this_thread::sleep_for(200ms);
  far_.ReceiveAll(100ms);
  EXPECT_FALSE(far_.Receive(200ms).has_value());  // no more 200s
  // Silence opens the media path toward the caller.
  EXPECT_TRUE(farMedia_.Receive(1s).has_value());
}

TEST_F(CallFlowTest, ALongCallerTextIsCutNotRefused) {
  // 5678 registered here: the caller text names its binding.
  testhelp::WriteFile(module_.Data().File("SIP-REG.txt"),
                      "5678@127.0.0.2:5062\tPIN\t" + std::to_string(CalendarSeconds()) + "\t3600\td\tD\tP\n");
  std::string invite = Invite("in-long");
  size_t from = invite.find("<sip:1234@127.0.0.1>;tag=1");
  invite.replace(from, 9, "<sip:caller-with-a-long-name-1234");
  ToModule(invite);
  EXPECT_EQ(FirstLine(Next()), "SIP/2.0 100 Trying");
  EXPECT_EQ(Offered(0)[2], std::string("caller-with-a-long-name-1234#5678@127.0.0.2:5062").substr(0, 40));
}

// What a message does to a call by its tags, branch and CSeq, from the far
// end or from a stranger who knows the Call-ID and nothing else.
TEST_F(CallFlowTest, OnlyItsDialogSteersACall) {
  testhelp::UdpPeer stranger(0x7f000003);
  ToModule(Invite("in-d"));
  Next();
  std::string ringing = Next();
  std::string ourTag = Header(ringing, "To").substr(Header(ringing, "To").find(";tag=") + 5);
  int line = std::stoi(Offered(0)[0]);
  auto request = [&](const std::string& method, const std::string& branch, const std::string& toTag,
                     const std::string& fromTag, int cseq) {
    return FromCaller(method, "in-d", "<sip:5678@127.0.0.1>" + (toTag.empty() ? "" : ";tag=" + toTag),
                      "<sip:1234@127.0.0.1>;tag=" + fromTag, branch, cseq);
  };
  const struct {
    bool answered;  // sent once the host has answered and the caller acknowledged
    const testhelp::UdpPeer& from;
    std::string message;
    std::string answer;  // the sender's answer, "" for none
  } rows[] = {
      {false, far_, request("CANCEL", "z9hG4bKother", "", "1", 1), "SIP/2.0 481"},
      {false, far_, request("CANCEL", "z9hG4bKin-d", "", "2", 1), "SIP/2.0 481"},  // another caller's tag
      {false, stranger, request("BYE", "z9hG4bKs", "", "1", 2), "SIP/2.0 481"},    // no tag of ours
      // A fake answer to a call that rings here: nobody's to take, so dropped.
      {false, stranger, Reply(ringing, "200 OK"), ""},
      // After the final answer a CANCEL changes nothing (and gets no 487).
      {true, far_, request("CANCEL", "z9hG4bKin-d", "", "1", 1), "SIP/2.0 200 OK"},
      {true, stranger, request("BYE", "z9hG4bKs", ourTag, "2", 2), "SIP/2.0 481"},
      // The dialog's own BYE ends the call from wherever it comes: a
      // provider's proxies take turns.
      {true, stranger, request("BYE", "z9hG4bKs", ourTag, "1", 2), "SIP/2.0 200 OK"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(FirstLine(row.message) + " / " + Header(row.message, "To"));
    if (row.answered && TheModule().Line(line)->State() == CallState::Setup) {
      EXPECT_TRUE(far_.ReceiveAll(100ms).empty());  // nothing reached the caller meanwhile
      TheModule().Answer(line, 0, 0, 0);
      EXPECT_EQ(FirstLine(Next()), "SIP/2.0 200 OK");  // the host could still answer
      ToModule(request("ACK", "z9hG4bKack", ourTag, "1", 1));
      far_.ReceiveAll(200ms);
    }
    row.from.SendTo(module_.SipPort(), row.message);
    std::string answer = row.from.Receive(300ms).value_or("");
    EXPECT_EQ(answer.substr(0, row.answer.empty() ? 1 : row.answer.size()), row.answer) << answer;
    EXPECT_TRUE(far_.ReceiveAll(100ms).empty());  // no 487, no ACK, nothing else
    EXPECT_EQ(TheModule().Line(line)->Finished(), &row == &rows[std::size(rows) - 1]);
  }

  // An outgoing call takes only answers to its own INVITE.
  SetCallTiming({200ms, 6, 30});  // the INVITE is repeated while the wrong answers arrive
  int placed = Place("lab@" + Far());
  std::string invite = Next();
  std::string wrongBranch = Reply(invite, "200 OK", "Content-Type: application/sdp\r\n", Sdp());
  stranger.SendTo(module_.SipPort(), wrongBranch.insert(wrongBranch.find("z9hG4bK") + 7, "9"));
  std::string wrongCseq = Reply(invite, "486 Busy Here");
  ToModule(wrongCseq.replace(wrongCseq.find("CSeq: 1 "), 8, "CSeq: 2 "));
  EXPECT_EQ(FirstLine(Next()), FirstLine(invite));  // no ACK: the INVITE is still repeated
  EXPECT_EQ(phone_.Count("OnConnected"), 0);
  ToModule(Reply(invite, "200 OK", "Content-Type: application/sdp\r\n", Sdp()));
  EXPECT_TRUE(phone_.WaitForCount("OnConnected", 1, 1s));
  TheModule().HangUp(placed);
}

TEST_F(CallFlowTest, StrangersRingingHoldOneLineEachAndNeverTheUsersCall) {
  if (!testhelp::OtherLoopbackSourcesWork()) GTEST_SKIP() << "every caller would come from 127.0.0.1 (Wine)";
  Settings().LineCount = 3;
  testhelp::UdpPeer first(0x7f000002), second(0x7f000003), third(0x7f000004);
  auto ring = [&](const testhelp::UdpPeer& caller, const std::string& callId) {
    std::string at = "127.0.0." + std::to_string(&caller == &first ? 2 : &caller == &second ? 3 : 4) + ":" +
                     std::to_string(caller.Port());
    caller.SendTo(module_.SipPort(),
                  testhelp::Request({.method = "INVITE", .callId = callId,
                                     .extra = "Contact: <sip:1234@" + at + ">\r\nContent-Type: application/sdp\r\n",
                                     .uri = "sip:5678@127.0.0.1", .to = "<sip:5678@127.0.0.1>",
                                     .from = "<sip:1234@127.0.0.1>;tag=1", .via = at, .branch = "z9hG4bK" + callId,
                                     .body = Sdp()}));
    std::vector<std::string> answers = caller.ReceiveAll(300ms);
    return answers.empty() ? std::string() : FirstLine(answers.back());
  };
  EXPECT_EQ(ring(first, "ring-1"), "SIP/2.0 180 Ringing");
  EXPECT_EQ(ring(first, "ring-1b"), "SIP/2.0 486 Busy Here");  // its one line rings already
  EXPECT_EQ(ring(second, "ring-2"), "SIP/2.0 180 Ringing");
  EXPECT_EQ(ring(third, "ring-3"), "SIP/2.0 180 Ringing");
  auto connections = testhost::Connections();
  ASSERT_EQ(connections.size(), 3u);
  for (size_t call = 0; call < 3; ++call) {
    connections[call]->SetHook(testhost::ReleaseLineOnDisconnect(TheModule(), std::stoi(Offered(call)[0])));
  }
  // Every line rings: the user's call still gets one, and the first caller hears 480.
  int placed = Place("lab@" + Far());
  EXPECT_EQ(placed, std::stoi(Offered(0)[0]));
  EXPECT_EQ(FirstLine(first.Receive(1s).value_or("")), "SIP/2.0 480 Temporarily not available");
  EXPECT_EQ(connections[0]->Reasons().size(), 1u);
  EXPECT_EQ(connections[1]->Count("OnDisconnected"), 0);
  Settings().LineCount = 4;
}

TEST_F(CallFlowTest, AnAnswerNobodyAcknowledgesIsEndedWithBye) {
  ToModule(Invite("no-ack"));
  Next();
  Next();
  TheModule().Answer(std::stoi(Offered(0)[0]), 0, 0, 0);
  // 200 at 0, 1, 3, 7, then every 8 pauses, for 64 pauses in all; then BYE.
  std::vector<std::string> sent = far_.ReceiveAll(2500ms);
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](const auto& text) { return FirstLine(text) == "SIP/2.0 200 OK"; }),
            11);
  EXPECT_EQ(FirstLine(sent.back()).substr(0, 4), "BYE ");
}

TEST_F(CallFlowTest, ADelayedOfferTheAckLeavesUnansweredIsEndedWithBye) {
  ToModule(Invite("late-offer", ""));
  Next();
  std::string ringing = Next();
  TheModule().Answer(std::stoi(Offered(0)[0]), 0, 0, 0);
  EXPECT_NE(Next().find("\r\nm=audio "), std::string::npos);  // the offer, in the 200
  ToModule(Ack(ringing, "z9hG4bKack"));  // with no answer
  std::vector<std::string> sent = far_.ReceiveAll(500ms);
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(FirstLine(sent.back()).substr(0, 4), "BYE ");
}

TEST_F(CallFlowTest, IncomingCallsRefusedRejectedOrHungUpWhileRinging) {
  // Rejected by the host with reason 5: 480 until the ACK, then the host hears 5.
  ToModule(Invite("in-reject"));
  Next();
  std::string ringing = Next();
  auto line = [](size_t call) { return std::stoi(Offered(call)[0]); };
  TheModule().Answer(line(0), 5, 0, 0);
  std::string refusal = Next();
  EXPECT_EQ(FirstLine(refusal), "SIP/2.0 480 Temporarily not available");
  EXPECT_EQ(FirstLine(Next()), FirstLine(refusal));
  ToModule(Ack(ringing, "z9hG4bKa"));
  ASSERT_TRUE(WaitForLineThreads(3s));
  auto connections = testhost::Connections();
  ASSERT_EQ(connections.size(), 1u);
  EXPECT_EQ(connections[0]->Reasons(), std::vector<int>{5});
  TheModule().ReleaseLine(line(0), 0);
  far_.ReceiveAll(100ms);

  // Hung up by the host while ringing: the caller is told 480, not left ringing.
  ToModule(Invite("in-hangup"));
  Next();
  Next();
  TheModule().HangUp(line(1));
  EXPECT_EQ(FirstLine(Next()), "SIP/2.0 480 Temporarily not available");
  ASSERT_TRUE(WaitForLineThreads(3s));
  TheModule().ReleaseLine(line(1), 0);
  far_.ReceiveAll(100ms);

  // A host that gives no connection refuses the call: 480 until the ACK,
  // and the line is free again.
  testhost::SetRefuseIncomingCalls(true);
  ToModule(Invite("in-refused"));
  Next();
  ringing = Next();
  EXPECT_EQ(FirstLine(Next()), "SIP/2.0 480 Temporarily not available");
  ToModule(Ack(ringing, "z9hG4bKr"));
  ASSERT_TRUE(WaitForLineThreads(3s));
  EXPECT_FALSE(TheModule().Line(line(2)));
  testhost::SetRefuseIncomingCalls(false);
  far_.ReceiveAll(100ms);

  // Four lines ringing: the fifth INVITE gets 488 and the host hears OnClose.
  // The calls come from a gateway's address, where a provider brings every
  // caller's call: more than one rings at a time.
  // The account does not register: its gateway's address is learnt all the same.
  {
    std::scoped_lock lock(TheModule().ModuleLock());
    TheModule().Gateways()[0]->address = "127.0.0.1:5999";
  }
  auto learnt = [] {
    std::scoped_lock lock(TheModule().ModuleLock());
    return TheModule().Gateways()[0]->gatewayIp == LoopbackAddress();
  };
  for (int wait = 0; wait < 500 && !learnt(); ++wait) {
    PeriodicTimer::RunDueCalls();  // the ticks come on this thread on Windows
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_TRUE(learnt());
  for (int call = 0; call < 4; ++call) ToModule(Invite("busy-" + std::to_string(call)));
  Offered(6);
  far_.ReceiveAll(200ms);
  ToModule(Invite("busy-4"));
  EXPECT_EQ(FirstLine(Next()), "SIP/2.0 488 Not Acceptable Here");
  for (int wait = 0; wait < 50 && testhost::StaticCallsNamed("OnClose").empty(); ++wait) {
    std::this_thread::sleep_for(20ms);  // told right after the 488 went out
  }
  EXPECT_EQ(testhost::StaticCallsNamed("OnClose").size(), 1u);

  // Nobody answers them: once the ringing time is up (here the tick after
  // one), each caller gets 480, the host hears each end, and the lines are
  // free for the next caller.
  SetCallTiming({20ms, 6, 30, 1});
  for (int call = 3; call < 7; ++call) {
    EXPECT_TRUE(testhost::Connections()[call - 1]->WaitForCount("OnDisconnected", 1, 5s));
    TheModule().ReleaseLine(line(call), 0);
  }
  ASSERT_TRUE(WaitForLineThreads(3s));
  std::vector<std::string> refusals = far_.ReceiveAll(300ms);
  EXPECT_EQ(std::count_if(refusals.begin(), refusals.end(),
                          [](const std::string& text) { return FirstLine(text).substr(8, 3) == "480"; }),
            24);
  ToModule(Invite("busy-5"));
  EXPECT_EQ(FirstLine(Next()), "SIP/2.0 100 Trying");
}

}  // namespace
}  // namespace talvenor
