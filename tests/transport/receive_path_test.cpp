// The receive path through a real socket: length limits and repeats.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/sip_samples.h"
#include "tests/support/test_helpers.h"
#include "transport/receive_loop.h"

namespace talvenor {
namespace {

using namespace std::chrono_literals;

std::string OptionsOfSize(const std::string& callId, size_t size) {
  std::string minimal = "OPTIONS sip:a@b SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1\r\nCall-ID: " + callId +
                        "\r\nCSeq: 1 OPTIONS\r\nContent-Length: 0\r\n\r\n";
  std::string message = testhelp::PadTo(minimal, size);
  EXPECT_EQ(message.size(), size);
  return message;
}

class ReceivePathTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(module_.Started()); }
  size_t AnswersTo(const testhelp::UdpPeer& peer, const std::string& datagram) {
    peer.SendTo(module_.SipPort(), datagram);
    return peer.ReceiveAll(300ms).size();
  }
  testhelp::RunningModule module_;
  testhelp::UdpPeer peer_;
};

TEST_F(ReceivePathTest, LengthLimits) {
  // 150 bytes: a minimal OPTIONS cut down to size still reads as OPTIONS.
  std::string tiny = "OPTIONS sip:a@b SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1\r\nCall-ID: t\r\nCSeq: 1 OPTIONS\r\n";
  tiny += std::string(150 - tiny.size() - 4, 'x') + "\r\n\r\n";
  ASSERT_EQ(tiny.size(), 150u);
  EXPECT_EQ(AnswersTo(peer_, tiny), 0u);
  EXPECT_EQ(AnswersTo(peer_, OptionsOfSize("151", 151)), 1u);
  EXPECT_EQ(AnswersTo(peer_, OptionsOfSize("1499", 1499)), 1u);
  EXPECT_EQ(AnswersTo(peer_, OptionsOfSize("1500", 1500)), 0u);
  EXPECT_EQ(AnswersTo(peer_, OptionsOfSize("4000", 4000)), 0u);
  EXPECT_EQ(AnswersTo(peer_, ""), 0u);
  // The loop is still alive after all of that.
  EXPECT_EQ(AnswersTo(peer_, OptionsOfSize("alive", 300)), 1u);
}

TEST_F(ReceivePathTest, ImmediateRepeatIsDroppedEvenFromAnotherSender) {
  std::string first = OptionsOfSize("repeat-1", 300);
  EXPECT_EQ(AnswersTo(peer_, first), 1u);
  EXPECT_EQ(AnswersTo(peer_, first), 0u);
  testhelp::UdpPeer other;
  EXPECT_EQ(AnswersTo(other, first), 0u);
  // Another datagram in between: the copy is handled again.
  EXPECT_EQ(AnswersTo(peer_, OptionsOfSize("repeat-2", 300)), 1u);
  EXPECT_EQ(AnswersTo(other, first), 1u);
}

TEST(DatagramScreen, ComparesLengthAndTextUpToANul) {
  DatagramScreen screen;
  EXPECT_TRUE(screen.Accept("abc"));
  EXPECT_FALSE(screen.Accept("abc"));
  EXPECT_TRUE(screen.Accept("abcd"));
  EXPECT_TRUE(screen.Accept(std::string_view("ab\0x", 4)));
  // Same length, same text before the NUL: a repeat.
  EXPECT_FALSE(screen.Accept(std::string_view("ab\0y", 4)));
  EXPECT_TRUE(DatagramScreen::LengthAccepted(151));
  EXPECT_FALSE(DatagramScreen::LengthAccepted(150));
  EXPECT_TRUE(DatagramScreen::LengthAccepted(1499));
  EXPECT_FALSE(DatagramScreen::LengthAccepted(1500));
}

}  // namespace
}  // namespace talvenor
