// RTP packets as the module sends and takes them (RFC 3550): version 2, no
// padding, no header extension, no contributing sources, and a payload of 1
// to 640 bytes. Packing and parsing work on caller-owned bytes: no socket, no
// allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace talvenor {

inline constexpr size_t kRtpHeaderBytes = 12;
inline constexpr size_t kLargestRtpPayload = 640;

struct RtpHeader {
  bool marker = false;  // the first packet after silence
  uint8_t payloadType = 0;
  uint16_t sequence = 0;
  uint32_t timestamp = 0;
  uint32_t ssrc = 0;
};

struct RtpPacket {
  RtpHeader header;
  std::span<const std::byte> payload;  // within the parsed datagram
};

// The packet a datagram holds; nothing when it is not one the module takes
// (another version, padding, an extension, contributing sources, no payload
// or more than the largest).
std::optional<RtpPacket> ParseRtp(std::span<const std::byte> datagram);

// Writes the header into the first 12 bytes of `packet`; false, with
// nothing written, when it is shorter.
bool PackRtpHeader(const RtpHeader& header, std::span<std::byte> packet);

}  // namespace talvenor
