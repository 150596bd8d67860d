// Call lines against a far end on a real socket.
#include "calls/call_line.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

#include "calls/call_info.h"
#include "calls/call_timing.h"
#include "calls/line_threads.h"
#include "config/module_settings.h"
#include "module/sip_module.h"
#include "platform/periodic_timer.h"
#include "sip/sip_message.h"
#include "tests/support/sip_samples.h"
#include "tests/support/test_helpers.h"
#include "tests/support/test_host.h"

namespace talvenor {
namespace {

using namespace std::chrono_literals;

using testhelp::FirstLine;
using testhelp::Header;
using testhost::RecordingConnection;

constexpr const char* kCallId = "call-8000@127.0.0.1";

class CallLineTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(module_.Started());
    SetCallTiming({20ms, 6, 30});
  }
  void TearDown() override {
    SetCallTiming({});
    // The tests' connections are gone: the lines leave their slots before
    // the shutdown that would end them.
    for (int index = 0; index < 4; ++index) TheModule().ReleaseLine(index, 0);
  }

  // A line as the outgoing call sets it up: INVITE sent to the far end.
  std::shared_ptr<CallLine> Outgoing(RecordingConnection& connection, bool incoming = false) {
    std::shared_ptr<CallLine> line = TheModule().CreateLine([&](int index) {
      CallParameters parameters;
      parameters.lineIndex = index;
      parameters.connection = incoming ? nullptr : &connection;
      parameters.target = "lab@127.0.0.1:" + std::to_string(farEnd_.Port());
      parameters.enabledPayloadTypes[0] = parameters.enabledPayloadTypes[8] = true;
      return std::make_shared<CallLine>(TheModule(), parameters);
    });
    if (!line) return nullptr;
    if (incoming) line->SetConnection(&connection);
    line->Dialog().Update([&](DialogState& dialog) {
      dialog.sipPeer = {LoopbackAddress(), NetworkPort(farEnd_.Port())};
      dialog.localIp = "127.0.0.1";
      dialog.lines.viaLine = "Via: SIP/2.0/UDP 127.0.0.1:5099;branch=z9hG4bK-caller";
      dialog.lines.toLine = "To: <sip:lab@127.0.0.1>";
      dialog.lines.fromLine = "From: \"Desk\" <sip:desk@127.0.0.1>;tag=7781";
      dialog.lines.callIdLine = std::string("Call-ID: ") + kCallId;
      dialog.lines.cseqLine = "CSeq: 1 INVITE";
    });
    return line;
  }
  void Deliver(CallLine& line, const std::string& text) {
    SipMessage message(text, LoopbackAddress(), NetworkPort(farEnd_.Port()));
    std::scoped_lock lock(TheModule().ModuleLock());
    line.HandleInDialog(message);
  }
  static std::string Request(const std::string& method) { return testhelp::Request(method, kCallId); }
  static std::string Response(const std::string& status, const std::string& method = "INVITE",
                              const std::string& extra = {}, const std::string& body = {}) {
    return testhelp::Reply(Request(method), status, extra, body);
  }
  std::vector<std::string> Sent() { return farEnd_.ReceiveAll(150ms); }

  testhelp::RunningModule module_;
  testhelp::UdpPeer farEnd_;
};

TEST_F(CallLineTest, EveryRowOfTheInDialogTable) {
  const std::string sdp = "v=0\r\nc=IN IP4 127.0.0.1\r\nm=audio 9000 RTP/AVP 97 8\r\n";
  const std::string challenge = "WWW-Authenticate: Digest realm=\"gw\", nonce=\"n1\"\r\n";
  const struct {
    std::string message;
    bool viaGateway;
    std::string sent;                // first line of what goes to the far end, "" for nothing
    std::optional<int> disconnect;  // the reason the host hears
    bool awaiting;
  } rows[] = {
      {Request("INVITE"), false, "SIP/2.0 491 Request Pending", std::nullopt, true},  // our offer is not answered yet
      {Request("CANCEL"), false, "", std::nullopt, true},  // only a call that rings here is cancelled
      {Request("BYE"), false, "", kEndFailed, true},
      {Request("ACK"), false, "", std::nullopt, true},
      {Request("OPTIONS"), false, "", std::nullopt, true},
      {Response("100 Trying"), false, "", std::nullopt, false},
      {Response("183 Session Progress"), false, "", std::nullopt, false},
      {Response("200 OK", "INVITE", "Content-Type: application/sdp\r\n", sdp), false, "ACK sip:", std::nullopt, false},
      {Response("200 OK", "INVITE"), false, "", kEndFailed, true},  // no usable SDP: hung up
      {Response("200 OK", "BYE"), false, "", std::nullopt, false},
      {Response("180 Ringing", "BYE"), false, "", std::nullopt, false},  // any answer stops the repeats
      {Response("486 Busy Here", ""), false, "ACK sip:", kEndBusy, true},  // no method: the INVITE's
      // A refused BYE is not acknowledged: a peer refusing that ACK in turn
      // would start an endless exchange.
      {Response("400 Bad Request", "BYE"), false, "", std::nullopt, false},
      {Response("481 Call Leg/Transaction Does Not Exist", "CANCEL"), false, "", std::nullopt, false},
      {Response("401 Unauthorized", "INVITE", challenge), false, "ACK sip:", kEndFailed, false},
      {Response("401 Unauthorized", "INVITE", challenge), true, "ACK sip:", std::nullopt, true},
      {Response("480 Temporarily Unavailable"), false, "ACK sip:", kEndUnavailable, true},
      {Response("486 Busy Here"), false, "ACK sip:", kEndBusy, true},
      {Response("487 Request Terminated"), false, "ACK sip:", kEndFailed, true},
      {Response("404 Not Found"), false, "ACK sip:", kEndFailed, true},
      {Response("481 Call Leg/Transaction Does Not Exist"), false, "", kEndFailed, true},
      {Response("202 Accepted"), false, "", std::nullopt, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(FirstLine(row.message));
    RecordingConnection connection;
    std::shared_ptr<CallLine> line = Outgoing(connection);
    ASSERT_TRUE(line);
    if (row.viaGateway) line->Dialog().Update([](DialogState& dialog) { dialog.gateway = {"alice", "secret"}; });
    Deliver(*line, row.message);
    std::vector<std::string> sent = Sent();
    EXPECT_EQ(sent.empty() ? "" : FirstLine(sent[0]).substr(0, row.sent.size()), row.sent);
    EXPECT_EQ(connection.Reasons(), row.disconnect ? std::vector<int>{*row.disconnect} : std::vector<int>{});
    EXPECT_EQ(line->AwaitingResponse(), row.awaiting);
    // The ACK of a failure copies the failure's To, the far end's tag with it.
    if (row.sent == "ACK sip:") {
      EXPECT_EQ(Header(sent[0], "To"), "To: <sip:lab@127.0.0.1>;tag=far");
    }
    TheModule().ReleaseLine(line->LineIndex(), 0);
  }
}

TEST_F(CallLineTest, AnswersUpdateTheDialog) {
  RecordingConnection connection;
  std::shared_ptr<CallLine> line = Outgoing(connection);
  Deliver(*line, Response("180 Ringing"));
  EXPECT_EQ(line->Dialog().Snapshot().lines.toLine, "To: <sip:lab@127.0.0.1>;tag=far");
  Deliver(*line, Response("200 OK", "INVITE", {}, "v=0\r\nc=IN IP4 10.0.0.9\r\nm=audio 9000 RTP/AVP 97 8\r\n"));
  EXPECT_EQ(connection.Count("OnConnected"), 1);
  EXPECT_EQ(line->State(), CallState::Connected);
  EXPECT_EQ(line->EndReason(), kEndNormal);
  EXPECT_EQ(line->PayloadType(), 8);  // the far end's order among the enabled types
  EXPECT_EQ(DottedAddress(line->RtpPeer().address), "10.0.0.9");
  std::vector<std::string> sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Header(sent[0], "CSeq"), "CSeq: 1 ACK");
  EXPECT_EQ(Header(sent[0], "To"), "To: <sip:lab@127.0.0.1>;tag=far");
  std::string otherFork = Response("200 OK", "INVITE", {}, "v=0\r\nc=IN IP4 10.0.0.8\r\nm=audio 9000 RTP/AVP 8\r\n");
  Deliver(*line, otherFork.replace(otherFork.find("tag=far"), 7, "tag=fork"));
  EXPECT_EQ(line->Dialog().Snapshot().lines.toLine, "To: <sip:lab@127.0.0.1>;tag=far");  // the first 2xx's fork
  EXPECT_EQ(DottedAddress(line->RtpPeer().address), "10.0.0.9");
  Sent();

  // An UPDATE's offer while ours waits for its answer in an ACK: 491 (RFC 3311 5.2).
  line->Dialog().Update([](DialogState& dialog) { dialog.offerPending = true; });
  Deliver(*line, testhelp::Request({.method = "UPDATE", .callId = kCallId, .extra = "Content-Type: application/sdp\r\n",
                                    .cseq = 5, .body = "v=0\r\nc=IN IP4 10.0.0.7\r\nm=audio 9000 RTP/AVP 8\r\n"}));
  std::vector<std::string> pending = Sent();
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(FirstLine(pending[0]), "SIP/2.0 491 Request Pending");
  EXPECT_EQ(DottedAddress(line->RtpPeer().address), "10.0.0.9");
  line->Dialog().Update([](DialogState& dialog) { dialog.offerPending = false; });


  // A response with a body: Content-Type before Content-Length, no User-Agent.
  line->SetLocalMedia(8002, "127.0.0.1");
  line->SendInCallResponse(kStatus200, "Contact: <sip:127.0.0.1>", line->BuildSdp());
  sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  std::string body = "v=0\r\no=Nuvex 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\n"
                     "m=audio 8002 RTP/AVP 8 0\r\na=rtpmap:8 PCMA/8000\r\na=rtpmap:0 PCMU/8000\r\n";
  EXPECT_EQ(sent[0].substr(sent[0].find("\r\nCSeq:")),
            "\r\nCSeq: 1 INVITE\r\nContact: <sip:127.0.0.1>\r\nContent-Type: application/sdp\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\n\r\n" + body);
  line->ShowCallInfo(WithPeerName(RtpInfoText(line->PayloadType(), line->RtpPeer()), "far.example"));
  EXPECT_EQ(connection.LastInfo(), "RTP\\PCMA 10.0.0.9:9000 (far.example)");
  EXPECT_EQ(RtpInfoText(96, line->RtpPeer()).substr(0, 8), "RTP\\ERR ");
  EXPECT_EQ(SipInfoText(line->SipPeer()), "SIP 127.0.0.1:" + std::to_string(farEnd_.Port()));

  // With credentials from a gateway: the challenge is answered (with qop
  // when offered), CSeq counts up.
  RecordingConnection second;
  std::shared_ptr<CallLine> challenged = Outgoing(second);
  challenged->Dialog().Update([](DialogState& dialog) { dialog.gateway = {"alice", "secret"}; });
  Deliver(*challenged, Response("407 Proxy Authentication Required", "INVITE",
                                "Proxy-Authenticate: Digest realm=\"gw\", nonce=\"n7\", qop=\"auth\"\r\n"));
  EXPECT_TRUE(challenged->Dialog().Snapshot().proxyAuthorizationText.starts_with(
      "\r\nProxy-Authorization: Digest username=\"alice\""));
  challenged->SendInCallRequest(kInvite, "Contact: <sip:127.0.0.1>", "");
  sent = Sent();
  ASSERT_EQ(sent.size(), 2u);  // the ACK of the 407, then the INVITE again
  EXPECT_NE(sent[1].find("\r\nCSeq: 2 INVITE\r\nMax-Forwards: 70\r\nProxy-Authorization: Digest"), std::string::npos) << sent[1];
  EXPECT_NE(sent[1].find(", qop=auth, nc=00000001, cnonce=\""), std::string::npos) << sent[1];
  EXPECT_NE(sent[1].find("\r\nContact: <sip:127.0.0.1>\r\nUser-Agent: Talvenor 7.2\r\nContent-Length: 0\r\n\r\n"),
            std::string::npos)
      << sent[1];

  // A route without lr is a strict router: the request goes to its URI and
  // the remote target is the last route (RFC 3261 12.2.1.1).
  std::string strict = "<sip:127.0.0.1:" + std::to_string(farEnd_.Port()) + ">";
  line->Dialog().Update([&](DialogState& dialog) {
    dialog.routeSet = {strict, "<sip:p2.example;lr>"};
    dialog.remoteTarget = "lab@10.0.0.9:5062";
  });
  line->SendInCallRequest(kBye, {}, {});
  std::vector<std::string> routed = Sent();
  ASSERT_EQ(routed.size(), 1u);
  EXPECT_EQ(FirstLine(routed[0]), "BYE sip:127.0.0.1:" + std::to_string(farEnd_.Port()) + " SIP/2.0");
  EXPECT_NE(routed[0].find("\r\nRoute: <sip:p2.example;lr>\r\nRoute: <sip:lab@10.0.0.9:5062>\r\n"), std::string::npos)
      << routed[0];
}

TEST_F(CallLineTest, HangingUpSendsWhatTheStateAllows) {
  const struct {
    const char* name;
    bool incoming;
    CallState state;
    bool awaiting;  // the INVITE still being repeated
    std::string request;  // repeated by the closing sender; "" for none
    int cseq;
  } cases[] = {
      {"outgoing, no answer yet", false, CallState::Setup, true, "", 1},
      {"outgoing, ringing", false, CallState::Setup, false, "CANCEL", 1},
      {"outgoing, connected", false, CallState::Connected, false, "BYE", 2},
      {"incoming, answered", true, CallState::Answered, false, "BYE", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingConnection connection;
    std::shared_ptr<CallLine> line = Outgoing(connection, c.incoming);
    line->SetState(c.state);
    line->SetAwaitingResponse(c.awaiting);
    line->AttachMedia(nullptr);  // open: the media's thread sends the request when it ends
    {
      std::scoped_lock lock(TheModule().ModuleLock());
      line->HangUp();
    }
    EXPECT_TRUE(connection.Reasons().empty());
    line->SendClosingRequestAndDisconnect();
    std::vector<std::string> sent = Sent();
    EXPECT_EQ(sent.size(), c.request.empty() ? 0u : 6u);  // unanswered: six times
    EXPECT_EQ(connection.Reasons().size(), 1u);
    if (sent.empty()) continue;
    EXPECT_EQ(FirstLine(sent[0]), c.request + " sip:lab@127.0.0.1:" + std::to_string(farEnd_.Port()) + " SIP/2.0");
    EXPECT_EQ(Header(sent[0], "CSeq"), "CSeq: " + std::to_string(c.cseq) + " " + c.request);
    if (c.incoming) {
      // The caller's From is the To of our BYE, and our Via is our own.
      EXPECT_EQ(Header(sent[0], "From"), "From: <sip:lab@127.0.0.1>");
      EXPECT_EQ(Header(sent[0], "To"), "To: \"Desk\" <sip:desk@127.0.0.1>;tag=7781");
      EXPECT_EQ(Header(sent[5], "To"), Header(sent[0], "To"));  // exchanged once
      EXPECT_EQ(Header(sent[0], "Via").find("Via: SIP/2.0/UDP 127.0.0.1:" + std::to_string(module_.SipPort()) +
                                                ";branch=z9hG4bK"),
                0u);
      EXPECT_EQ(Header(sent[0], "Via"), Header(sent[1], "Via"));  // a repeat keeps its branch
    }
    TheModule().ReleaseLine(line->LineIndex(), 0);
  }
}

TEST_F(CallLineTest, AnAnswerAfterTheCallEndedHereIsAcknowledgedAndEnded) {
  RecordingConnection connection;
  std::shared_ptr<CallLine> line = Outgoing(connection);
  Deliver(*line, Response("180 Ringing"));
  {
    std::scoped_lock lock(TheModule().ModuleLock());
    line->HangUp();  // CANCEL
  }
  Deliver(*line, Response("200 OK", "INVITE", {}, "v=0\r\nc=IN IP4 127.0.0.1\r\nm=audio 9000 RTP/AVP 0\r\n"));
  std::vector<std::string> sent = Sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(Header(sent[0], "CSeq"), "CSeq: 1 ACK");
  EXPECT_EQ(Header(sent[1], "CSeq"), "CSeq: 2 BYE");
  EXPECT_EQ(Header(sent[1], "To"), "To: <sip:lab@127.0.0.1>;tag=far");
  EXPECT_EQ(connection.Reasons().size(), 1u);
}

TEST_F(CallLineTest, LinesTakeTheLowestFreeSlotBelowTheLineCount) {
  Settings().LineCount = 2;
  RecordingConnection connection;
  std::shared_ptr<CallLine> first = Outgoing(connection);
  std::shared_ptr<CallLine> second = Outgoing(connection);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(second->LineIndex(), 1);
  EXPECT_FALSE(Outgoing(connection));
  TheModule().ReleaseLine(1, 0);
  EXPECT_EQ(TheModule().HighestLine(), 0);
  EXPECT_EQ(Outgoing(connection)->LineIndex(), 1);
  TheModule().ReleaseLine(0, 0);
  EXPECT_EQ(TheModule().HighestLine(), 1);
  TheModule().ReleaseLine(1, 0);
  EXPECT_EQ(TheModule().HighestLine(), 0);
  for (int index : {-1, 0, 4, 99}) {  // empty or out of range: nothing happens
    TheModule().HangUp(index);
    TheModule().ReleaseFrame(index, 0);
    TheModule().ReleaseLine(index, 0);
  }
  Settings().LineCount = 4;
  std::vector<int16_t> frame(320);
  TheModule().SendAudio(Outgoing(connection)->LineIndex(), frame.data(), 640, 0);
  EXPECT_EQ(connection.Count("OnAudioSent"), 1);  // no media yet: taken all the same, for a host that paces on it
  second->ReleaseFrame();
  EXPECT_EQ(second->MediaState().outstandingFrames, 0);  // never below none
}

TEST_F(CallLineTest, TheTimerHangsUpASilentCallOnTheTickAfterTheLimitAndTheHostReleasesItThere) {
  SetCallTiming({20ms, 6, 1});  // the third tick hangs up
  RecordingConnection connection;
  std::shared_ptr<CallLine> line = Outgoing(connection);
  line->SetState(CallState::Connected);
  connection.SetHook(testhost::ReleaseLineOnDisconnect(TheModule(), line->LineIndex()));
  std::weak_ptr<CallLine> watch = line;
  line.reset();  // from now on the slot alone holds it
  {
    std::scoped_lock lock(TheModule().ModuleLock());
    watch.lock()->Tick();
    watch.lock()->Tick();
  }
  EXPECT_TRUE(connection.Reasons().empty());
  // The module's own timer, holding ModuleLock, gives the third tick (on
  // Windows only when this thread, which started the module, makes its due calls).
  for (int wait = 0; wait < 40 && connection.Reasons().empty(); ++wait) {
    PeriodicTimer::RunDueCalls();
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_EQ(connection.Reasons(), std::vector<int>{kEndFailed});
  EXPECT_FALSE(TheModule().Line(0));
  EXPECT_TRUE(watch.expired());
}

TEST_F(CallLineTest, ALineReleasedFromOnDisconnectedOutlivesItsThread) {
  RecordingConnection connection;
  std::shared_ptr<CallLine> line = Outgoing(connection);
  connection.SetHook(testhost::ReleaseLineOnDisconnect(TheModule(), line->LineIndex()));
  line->SetState(CallState::Connected);
  line->AttachMedia(nullptr);
  {
    std::scoped_lock lock(TheModule().ModuleLock());
    line->HangUp();
  }
  // The media's thread, which holds its own share of the line.
  ASSERT_TRUE(StartLineThread(line, [](CallLine& self) { self.SendClosingRequestAndDisconnect(); }));
  std::weak_ptr<CallLine> watch = line;
  line.reset();
  ASSERT_TRUE(WaitForLineThreads(5s));
  EXPECT_EQ(connection.Reasons(), std::vector<int>{kEndFailed});
  EXPECT_FALSE(TheModule().Line(0));
  EXPECT_TRUE(watch.expired());
}

TEST_F(CallLineTest, AnEndWhileTheHostIsCalledReachesItAfterThatCallAndNothingFollows) {
  RecordingConnection connection;
  std::promise<void> inside;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  connection.SetHook([&inside, released](const testhost::HostCall& call) {
    if (call.function != "OnCallInfo") return;
    inside.set_value();  // still inside the host, as a slow host's code would be
    released.wait();
  });
  std::shared_ptr<CallLine> line = Outgoing(connection);
  // A reverse lookup's answer, on a thread of its own, still inside the host.
  std::thread lookup([line] { line->ShowCallInfo("SIP 127.0.0.1:5060 (lab.example)"); });
  inside.get_future().wait();
  {
    std::scoped_lock lock(TheModule().ModuleLock());
    line->HangUp();
  }
  EXPECT_TRUE(connection.Reasons().empty()) << "OnDisconnected ran beside OnCallInfo";
  release.set_value();
  lookup.join();
  EXPECT_EQ(connection.Reasons(), std::vector<int>{kEndFailed});
  // After the end the host hears nothing more of the line: no text, no frame taken.
  line->ShowCallInfo("RTP\\PCMU 127.0.0.1:4000");
  TheModule().SendAudio(line->LineIndex(), nullptr, 640, 0);
  TheModule().ReleaseLine(line->LineIndex(), 0);
  EXPECT_EQ(connection.Count("OnCallInfo"), 1);
  EXPECT_EQ(connection.Count("OnAudioSent"), 0);
  EXPECT_EQ(connection.Calls().back().function, "OnDisconnected");
}

}  // namespace
}  // namespace talvenor
