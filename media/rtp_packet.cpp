#include "media/rtp_packet.h"

namespace talvenor {

namespace {

// Version 2 in the top two bits, and the padding, extension and
// contributing-source count all zero.
constexpr std::byte kPlainVersion2{0x80};
constexpr std::byte kMarkerBit{0x80};

uint32_t ReadBigEndian(std::span<const std::byte> bytes) {
  uint32_t value = 0;
  for (std::byte byte : bytes) value = value << 8 | std::to_integer<uint32_t>(byte);
  return value;
}

void WriteBigEndian(std::span<std::byte> bytes, uint32_t value) {
  for (size_t index = bytes.size(); index-- > 0; value >>= 8) bytes[index] = static_cast<std::byte>(value & 0xFF);
}

}  // namespace

std::optional<RtpPacket> ParseRtp(std::span<const std::byte> datagram) {
  if (datagram.size() <= kRtpHeaderBytes || datagram.size() > kRtpHeaderBytes + kLargestRtpPayload) return {};
  if (datagram[0] != kPlainVersion2) return {};
  RtpPacket packet;
  packet.header.marker = (datagram[1] & kMarkerBit) != std::byte{0};
  packet.header.payloadType = std::to_integer<uint8_t>(datagram[1] & std::byte{0x7F});
  packet.header.sequence = static_cast<uint16_t>(ReadBigEndian(datagram.subspan(2, 2)));
  packet.header.timestamp = ReadBigEndian(datagram.subspan(4, 4));
  packet.header.ssrc = ReadBigEndian(datagram.subspan(8, 4));
  packet.payload = datagram.subspan(kRtpHeaderBytes);
  return packet;
}

bool PackRtpHeader(const RtpHeader& header, std::span<std::byte> packet) {
  if (packet.size() < kRtpHeaderBytes) return false;
  packet[0] = kPlainVersion2;
  packet[1] = static_cast<std::byte>((header.payloadType & 0x7F) | (header.marker ? 0x80 : 0));
  WriteBigEndian(packet.subspan(2, 2), header.sequence);
  WriteBigEndian(packet.subspan(4, 4), header.timestamp);
  WriteBigEndian(packet.subspan(8, 4), header.ssrc);
  return true;
}

}  // namespace talvenor
