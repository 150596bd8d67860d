// G.711 mu-law and A-law, applied to 16-bit samples as they are (no
// pre-scaling), with segment ends 0xFF to 0x7FFF on that scale. Encoding and
// decoding go through tables built once from the bit-exact formulas.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace talvenor {

uint8_t UlawFromLinear(int16_t sample);
int16_t LinearFromUlaw(uint8_t code);
uint8_t AlawFromLinear(int16_t sample);
int16_t LinearFromAlaw(uint8_t code);

// One code per sample, as many as both spans allow; the count written.
size_t EncodeUlaw(std::span<const int16_t> samples, std::span<uint8_t> payload);
size_t EncodeAlaw(std::span<const int16_t> samples, std::span<uint8_t> payload);
// One sample per code, as many as both spans allow; the count written.
size_t DecodeUlaw(std::span<const uint8_t> payload, std::span<int16_t> samples);
size_t DecodeAlaw(std::span<const uint8_t> payload, std::span<int16_t> samples);

// The formulas themselves, from which the tables are built.
uint8_t UlawFormula(int sample);
uint8_t AlawFormula(int sample);
int UlawDecodeFormula(uint8_t code);
int AlawDecodeFormula(uint8_t code);

}  // namespace talvenor
