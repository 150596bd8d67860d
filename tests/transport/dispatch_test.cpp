// Dispatch row by row, through the module's real socket.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>

#include "calls/call_line.h"
#include "config/module_settings.h"
#include "module/sip_module.h"
#include "sip/sip_message.h"
#include "tests/support/sip_samples.h"
#include "tests/support/test_helpers.h"

namespace talvenor {
namespace {

using namespace std::chrono_literals;
using testhelp::FirstLine;
using testhelp::Request;
using testhelp::Response;

// A call line that records what dispatch hands it.
class RecordingLine final : public CallLine {
public:
  // An incoming call as testhelp::Request writes its INVITE.
  explicit RecordingLine(const std::string& callId) : CallLine(TheModule(), CallParameters{}) {
    Dialog().Update([&](DialogState& dialog) { dialog.lines.callIdLine = "Call-ID: " + callId; });
    SetInviteTransaction("7781", "z9hG4bK-" + callId, 1);
  }
  void HandleInDialog(const SipMessage& message) override {
    std::scoped_lock lock(mutex_);
    seen_.emplace_back(message.LineAt(0));
  }
  void Tick() override {}
  std::vector<std::string> Seen() {
    std::scoped_lock lock(mutex_);
    return seen_;
  }

private:
  std::mutex mutex_;
  std::vector<std::string> seen_;
};

class DispatchTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(module_.Started());
    line_ = std::make_shared<RecordingLine>("line-1@127.0.0.1");
    ASSERT_TRUE(TheModule().AttachLine(1, line_));
  }
  void Send(const std::string& text) { peer_.SendTo(module_.SipPort(), text); }
  // A request of the line's dialog: the To line carries our tag.
  std::string InDialog(const std::string& method, int cseq = 2) {
    return Request({.method = method, .callId = "line-1@127.0.0.1", .cseq = cseq,
                    .to = "<sip:lab@127.0.0.1>;tag=" + std::to_string(line_->Tag())});
  }
  std::vector<std::string> Answers() { return peer_.ReceiveAll(400ms); }
  // Waits until dispatch has finished with everything sent so far.
  std::vector<std::string> LineSaw() {
    Send(Request("OPTIONS", "sync-" + std::to_string(++syncs_)));
    peer_.Receive(2s);
    return line_->Seen();
  }

  testhelp::RunningModule module_;
  testhelp::UdpPeer peer_;
  std::shared_ptr<RecordingLine> line_;
  int syncs_ = 0;
};

TEST_F(DispatchTest, InviteGoesToItsLineOrToTheNewCallHandler) {
  Send(Request("INVITE", "line-1@127.0.0.1"));
  Send(Request("INVITE", "other@127.0.0.1"));  // a new call, but without Contact or SDP offer
  Send(Request("INVITE", "ext@127.0.0.1", "Require: 100rel\r\n"));
  auto answers = Answers();
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(FirstLine(answers[0]), "SIP/2.0 488 Not Acceptable Here");
  EXPECT_NE(answers[1].find("SIP/2.0 420 Bad Extension\r\n"), std::string::npos);
  EXPECT_NE(answers[1].find("\r\nUnsupported: 100rel\r\n"), std::string::npos);
  EXPECT_NE(answers[0].find("Call-ID: other@127.0.0.1\r\n"), std::string::npos);
  EXPECT_EQ(LineSaw(), std::vector<std::string>{"INVITE sip:lab@127.0.0.1 SIP/2.0"});
}

TEST_F(DispatchTest, ByeOfAKnownCallIsAnswered200BeforeTheLineSeesIt) {
  Send(InDialog("BYE"));
  auto answers = Answers();
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(FirstLine(answers[0]), "SIP/2.0 200 OK");
  EXPECT_EQ(LineSaw(), std::vector<std::string>{"BYE sip:lab@127.0.0.1 SIP/2.0"});
}

TEST_F(DispatchTest, ByeAndCancelWithoutACallGet481AndNoLineIsTouched) {
  for (const char* method : {"BYE", "CANCEL"}) {
    Send(Request(method, std::string("nocall-") + method));
    auto answers = Answers();
    ASSERT_EQ(answers.size(), 1u) << method;
    EXPECT_EQ(FirstLine(answers[0]), "SIP/2.0 481 Call Leg/Transaction Does Not Exist");
    EXPECT_NE(answers[0].find("CSeq: 1 " + std::string(method) + "\r\n"), std::string::npos);
  }
  EXPECT_TRUE(LineSaw().empty());
}

TEST_F(DispatchTest, AckGoesToItsLineAndAStrayAckIsDropped) {
  Send(Request("ACK", "stray@127.0.0.1"));
  EXPECT_TRUE(Answers().empty());
  Send(InDialog("ACK", 1));
  EXPECT_EQ(LineSaw(), std::vector<std::string>{"ACK sip:lab@127.0.0.1 SIP/2.0"});
}

TEST_F(DispatchTest, UnsupportedMethodsGet405WithTheAllowLine) {
  for (const char* method : {"SUBSCRIBE", "NOTIFY", "PRACK", "UPDATE", "INFO", "OPTIONS", "REFER", "PUBLISH",
                             "MESSAGE"}) {
    Send(Request(method, std::string("m-") + method));
    auto answers = Answers();
    ASSERT_EQ(answers.size(), 1u) << method;
    EXPECT_EQ(FirstLine(answers[0]), "SIP/2.0 405 Method Not Allowed");
    EXPECT_NE(answers[0].find("\r\nCSeq: 1 " + std::string(method) +
                              "\r\nAllow: INVITE, ACK, CANCEL, BYE\r\nContent-Length: 0\r\n\r\n"),
              std::string::npos)
        << answers[0];
  }
  // Even one that matches a line's Call-ID.
  Send(Request("INFO", "line-1@127.0.0.1"));
  EXPECT_EQ(Answers().size(), 1u);
  EXPECT_TRUE(LineSaw().empty());
}

TEST_F(DispatchTest, RegisterGets405WhileRegistrationsAreOff) {
  Settings().EnableRegistrations = 0;
  Send(Request("REGISTER", "reg-off"));
  auto answers = Answers();
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(FirstLine(answers[0]), "SIP/2.0 405 Method Not Allowed");
}

TEST_F(DispatchTest, RegisterReachesTheRegistrarEvenWhenItsCallIdMatchesALine) {
  Settings().EnableRegistrations = 1;
  Send(Request("REGISTER", "line-1@127.0.0.1"));  // no Contact: the registrar answers the query
  auto answers = Answers();
  Settings().EnableRegistrations = 0;
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(FirstLine(answers[0]), "SIP/2.0 200 OK");
  EXPECT_TRUE(LineSaw().empty());
}

TEST_F(DispatchTest, Stray487IsAcknowledgedExactlyOnceWithCSeqOne) {
  Send(Response("487 Request Terminated", "stray-487", "INVITE", 17));
  auto answers = Answers();
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(FirstLine(answers[0]), "ACK sip:lab@127.0.0.1 SIP/2.0");
  EXPECT_NE(answers[0].find("\r\nCSeq: 1 ACK\r\nMax-Forwards: 70\r\nContent-Length: 0\r\n\r\n"), std::string::npos) << answers[0];
  // With a line's Call-ID but to nothing the line sent: neither ACK nor line.
  Send(Response("487 Request Terminated", "line-1@127.0.0.1"));
  EXPECT_TRUE(Answers().empty());
  EXPECT_TRUE(LineSaw().empty());
}

TEST_F(DispatchTest, AResponseGoesToItsLineOnlyWhenItAnswersARequestStillOutstanding) {
  line_->SetPendingRequest(kBye);  // our BYE, CSeq 1, branch of ours
  std::string ours = "z9hG4bK" + std::to_string(line_->Tag()) + ".1";
  auto answer = [&](const std::string& status, const std::string& method, int cseq, const std::string& branch) {
    std::string text = Response(status, "line-1@127.0.0.1", method, cseq);
    return text.replace(text.find("z9hG4bK-line-1@127.0.0.1"), 24, branch);
  };
  Send(answer("100 Trying", "BYE", 1, ours));
  Send(answer("202 Accepted", "BYE", 1, ours));  // a code outside the table goes the same way
  Send(answer("200 OK", "BYE", 1, "z9hG4bK" + std::to_string(line_->Tag() + 1) + ".1"));  // another line's
  Send(answer("200 OK", "BYE", 2, ours));         // another request of ours
  Send(answer("200 OK", "INVITE", 1, ours));      // an incoming line sent no INVITE
  Send(answer("200 OK", "CANCEL", 1, ours));
  Send(Response("200 OK", "no-line", "REGISTER"));
  EXPECT_TRUE(Answers().empty());
  EXPECT_EQ(LineSaw(), (std::vector<std::string>{"SIP/2.0 100 Trying", "SIP/2.0 202 Accepted"}));
}

TEST_F(DispatchTest, CallIdMatchesOnlyTheExactLine) {
  Send(Request("BYE", "LINE-1@127.0.0.1"));
  std::string spaced = Request("BYE", "line-1@127.0.0.1");
  spaced.replace(spaced.find("Call-ID: "), 9, "Call-ID:  ");
  Send(spaced);
  std::string lower = Request("BYE", "line-1@127.0.0.1", {}, 2);
  lower.replace(lower.find("Call-ID"), 7, "Call-Id");
  Send(lower);
  auto answers = Answers();
  ASSERT_EQ(answers.size(), 3u);
  for (auto& answer : answers) EXPECT_EQ(answer.substr(0, 11), "SIP/2.0 481");
  EXPECT_TRUE(LineSaw().empty());
}

}  // namespace
}  // namespace talvenor
