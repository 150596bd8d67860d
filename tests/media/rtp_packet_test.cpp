#include "media/rtp_packet.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace talvenor {
namespace {

std::vector<std::byte> Datagram(std::initializer_list<int> header, size_t payloadBytes) {
  std::vector<std::byte> bytes;
  for (int value : header) bytes.push_back(static_cast<std::byte>(value));
  bytes.resize(bytes.size() + payloadBytes, std::byte{0xD5});
  return bytes;
}

TEST(RtpPacket, TakesOnlyPlainVersion2WithAPayloadOfOneTo640Bytes) {
  const std::initializer_list<int> header = {0x80, 0x88, 0x12, 0x34, 1, 2, 3, 4, 0xCA, 0xFE, 0xBA, 0xBE};
  struct Case {
    int firstByte;
    size_t payloadBytes;
    bool taken;
  } cases[] = {
      {0x80, 1, true},    {0x80, 640, true},  {0x80, 0, false},  {0x80, 641, false},
      {0xA0, 160, false},  // padding
      {0x90, 160, false},  // an extension
      {0x81, 160, false},  // a contributing source
      {0x40, 160, false},  // version 1
  };
  for (const Case& c : cases) {
    std::vector<std::byte> datagram = Datagram(header, c.payloadBytes);
    datagram[0] = static_cast<std::byte>(c.firstByte);
    std::optional<RtpPacket> packet = ParseRtp(datagram);
    ASSERT_EQ(packet.has_value(), c.taken) << std::hex << c.firstByte << " " << std::dec << c.payloadBytes;
    if (!packet) continue;
    EXPECT_EQ(packet->payload.size(), c.payloadBytes);
    EXPECT_EQ(packet->payload.data(), datagram.data() + kRtpHeaderBytes);
    EXPECT_TRUE(packet->header.marker);
    EXPECT_EQ(packet->header.payloadType, 8);
    EXPECT_EQ(packet->header.sequence, 0x1234);
    EXPECT_EQ(packet->header.timestamp, 0x01020304u);
    EXPECT_EQ(packet->header.ssrc, 0xCAFEBABEu);
  }
}

TEST(RtpPacket, PacksWhatItParses) {
  std::array<std::byte, kRtpHeaderBytes + 1> packet{};
  RtpHeader header{false, 18, 0xFFFF, 0x80000001, 7};
  EXPECT_FALSE(PackRtpHeader(header, std::span(packet).first(kRtpHeaderBytes - 1)));
  ASSERT_TRUE(PackRtpHeader(header, packet));
  std::optional<RtpPacket> parsed = ParseRtp(packet);
  ASSERT_TRUE(parsed);
  EXPECT_FALSE(parsed->header.marker);
  EXPECT_EQ(parsed->header.payloadType, 18);
  EXPECT_EQ(parsed->header.sequence, 0xFFFF);
  EXPECT_EQ(parsed->header.timestamp, 0x80000001u);
  EXPECT_EQ(parsed->header.ssrc, 7u);
}

}  // namespace
}  // namespace talvenor
