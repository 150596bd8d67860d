#include "media/g711.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace talvenor {

namespace {

constexpr int kBias = 0x84;
constexpr std::array<int, 8> kSegmentEnds = {0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF, 0x3FFF, 0x7FFF};

int Segment(int magnitude) {
  for (int segment = 0; segment < 8; ++segment) {
    if (magnitude <= kSegmentEnds[segment]) return segment;
  }
  return 8;
}

template <typename Code>
std::array<uint8_t, 65536> EncodeTable(Code code) {
  std::array<uint8_t, 65536> table{};
  for (int sample = -32768; sample <= 32767; ++sample) table[static_cast<uint16_t>(sample)] = code(sample);
  return table;
}

template <typename Value>
std::array<int16_t, 256> DecodeTable(Value value) {
  std::array<int16_t, 256> table{};
  for (int code = 0; code < 256; ++code) table[code] = static_cast<int16_t>(value(static_cast<uint8_t>(code)));
  return table;
}

const std::array<uint8_t, 65536>& UlawTable() {
  static const std::array<uint8_t, 65536> table = EncodeTable(UlawFormula);
  return table;
}
const std::array<uint8_t, 65536>& AlawTable() {
  static const std::array<uint8_t, 65536> table = EncodeTable(AlawFormula);
  return table;
}
const std::array<int16_t, 256>& UlawValues() {
  static const std::array<int16_t, 256> table = DecodeTable(UlawDecodeFormula);
  return table;
}
const std::array<int16_t, 256>& AlawValues() {
  static const std::array<int16_t, 256> table = DecodeTable(AlawDecodeFormula);
  return table;
}

template <typename Table>
size_t Encode(const Table& table, std::span<const int16_t> samples, std::span<uint8_t> payload) {
  size_t count = std::min(samples.size(), payload.size());
  for (size_t index = 0; index < count; ++index) payload[index] = table[static_cast<uint16_t>(samples[index])];
  return count;
}

// Two codes at a time: the decoded pair for every two bytes as they lie in
// memory, so that decoding reads and writes half as often.
using PairTable = std::array<uint32_t, 65536>;

PairTable PairsOf(const std::array<int16_t, 256>& values) {
  PairTable pairs{};
  for (int first = 0; first < 256; ++first) {
    for (int second = 0; second < 256; ++second) {
      uint8_t codes[2] = {static_cast<uint8_t>(first), static_cast<uint8_t>(second)};
      int16_t decoded[2] = {values[first], values[second]};
      uint16_t key;
      uint32_t pair;
      std::memcpy(&key, codes, sizeof key);
      std::memcpy(&pair, decoded, sizeof pair);
      pairs[key] = pair;
    }
  }
  return pairs;
}

const PairTable& UlawPairs() {
  static const PairTable table = PairsOf(UlawValues());
  return table;
}
const PairTable& AlawPairs() {
  static const PairTable table = PairsOf(AlawValues());
  return table;
}

size_t Decode(const std::array<int16_t, 256>& values, const PairTable& pairs, std::span<const uint8_t> payload,
              std::span<int16_t> samples) {
  size_t count = std::min(samples.size(), payload.size());
  size_t index = 0;
  for (; index + 2 <= count; index += 2) {
    uint16_t key;
    std::memcpy(&key, payload.data() + index, sizeof key);
    std::memcpy(samples.data() + index, &pairs[key], sizeof(uint32_t));
  }
  if (index < count) samples[index] = values[payload[index]];
  return count;
}

}  // namespace

uint8_t UlawFormula(int sample) {
  int mask = sample < 0 ? 0x7F : 0xFF;
  int magnitude = (sample < 0 ? -sample : sample) + kBias;
  int segment = Segment(magnitude);
  if (segment >= 8) return static_cast<uint8_t>(0x7F ^ mask);
  return static_cast<uint8_t>(((segment << 4) | ((magnitude >> (segment + 3)) & 0x0F)) ^ mask);
}

uint8_t AlawFormula(int sample) {
  int mask = sample < 0 ? 0x55 : 0xD5;
  // -x - 8 would be negative for -1 to -7 and give a wrong code: those are
  // the smallest magnitude there is.
  int magnitude = sample < 0 ? std::max(-sample - 8, 0) : sample;
  int segment = Segment(magnitude);
  if (segment >= 8) return static_cast<uint8_t>(0x7F ^ mask);
  int mantissa = (magnitude >> (segment < 2 ? 4 : segment + 3)) & 0x0F;
  return static_cast<uint8_t>(((segment << 4) | mantissa) ^ mask);
}

int UlawDecodeFormula(uint8_t code) {
  int inverted = static_cast<uint8_t>(~code);
  int value = (((inverted & 0x0F) << 3) + kBias) << ((inverted & 0x70) >> 4);
  return (inverted & 0x80) ? kBias - value : value - kBias;
}

int AlawDecodeFormula(uint8_t code) {
  int flipped = code ^ 0x55;
  int value = (flipped & 0x0F) << 4;
  int segment = (flipped & 0x70) >> 4;
  if (segment == 0) {
    value += 8;
  } else {
    value = (value + 0x108) << (segment - 1);
  }
  return (flipped & 0x80) ? value : -value;
}

uint8_t UlawFromLinear(int16_t sample) { return UlawTable()[static_cast<uint16_t>(sample)]; }
int16_t LinearFromUlaw(uint8_t code) { return UlawValues()[code]; }
uint8_t AlawFromLinear(int16_t sample) { return AlawTable()[static_cast<uint16_t>(sample)]; }
int16_t LinearFromAlaw(uint8_t code) { return AlawValues()[code]; }

size_t EncodeUlaw(std::span<const int16_t> samples, std::span<uint8_t> payload) {
  return Encode(UlawTable(), samples, payload);
}
size_t EncodeAlaw(std::span<const int16_t> samples, std::span<uint8_t> payload) {
  return Encode(AlawTable(), samples, payload);
}
size_t DecodeUlaw(std::span<const uint8_t> payload, std::span<int16_t> samples) {
  return Decode(UlawValues(), UlawPairs(), payload, samples);
}
size_t DecodeAlaw(std::span<const uint8_t> payload, std::span<int16_t> samples) {
  return Decode(AlawValues(), AlawPairs(), payload, samples);
}

}  // namespace talvenor
