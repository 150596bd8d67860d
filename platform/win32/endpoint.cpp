#include "platform/endpoint.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

// Plain byte arithmetic: no WinSock call, so the conversions work before
// the sockets library has started and after it was cleaned up.
namespace talvenor {

namespace {

uint32_t FromBytes(const std::array<uint8_t, 4>& bytes) {
  uint32_t value;
  std::memcpy(&value, bytes.data(), sizeof value);
  return value;
}

std::array<uint8_t, 4> ToBytes(uint32_t value) {
  std::array<uint8_t, 4> bytes{};
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

}  // namespace

std::string DottedAddress(uint32_t networkAddress) {
  std::array<uint8_t, 4> bytes = ToBytes(networkAddress);
  return std::to_string(bytes[0]) + '.' + std::to_string(bytes[1]) + '.' + std::to_string(bytes[2]) + '.' +
         std::to_string(bytes[3]);
}

uint32_t ParseDottedAddress(std::string_view text) {
  // Only the strict dotted quad, as inet_pton takes it on Linux: four
  // decimal octets of at most 255 without leading zeros, nothing before or
  // after them (the text ends at a first NUL, as a C string would).
  text = text.substr(0, std::min(text.find('\0'), text.size()));
  std::array<uint8_t, 4> bytes{};
  size_t octets = 0;
  unsigned current = 0;
  bool sawDigit = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      if (sawDigit && current == 0) return 0;  // a leading zero
      current = current * 10 + static_cast<unsigned>(c - '0');
      if (current > 255) return 0;
      if (!sawDigit) {
        if (++octets > 4) return 0;
        sawDigit = true;
      }
      bytes[octets - 1] = static_cast<uint8_t>(current);
    } else if (c == '.' && sawDigit) {
      if (octets == 4) return 0;
      current = 0;
      sawDigit = false;
    } else {
      return 0;
    }
  }
  if (octets < 4 || !sawDigit) return 0;
  return FromBytes(bytes);
}

uint16_t NetworkPort(uint16_t hostPort) {
  std::array<uint8_t, 2> bytes{static_cast<uint8_t>(hostPort >> 8), static_cast<uint8_t>(hostPort & 0xff)};
  uint16_t value;
  std::memcpy(&value, bytes.data(), sizeof value);
  return value;
}

uint16_t HostPort(uint16_t networkPort) {
  std::array<uint8_t, 2> bytes{};
  std::memcpy(bytes.data(), &networkPort, sizeof networkPort);
  return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

uint32_t NetworkAddress(uint32_t hostAddress) {
  return FromBytes({static_cast<uint8_t>(hostAddress >> 24), static_cast<uint8_t>(hostAddress >> 16),
                    static_cast<uint8_t>(hostAddress >> 8), static_cast<uint8_t>(hostAddress)});
}

uint32_t HostAddress(uint32_t networkAddress) {
  std::array<uint8_t, 4> bytes = ToBytes(networkAddress);
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

uint32_t LoopbackAddress() { return NetworkAddress(0x7f000001u); }

bool SameNetwork24(uint32_t a, uint32_t b) { return (HostAddress(a) >> 8) == (HostAddress(b) >> 8); }

}  // namespace talvenor
