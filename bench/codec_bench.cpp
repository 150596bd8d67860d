// Encode and decode time per 640-byte frame (320 samples) for each codec,
// with spandsp's G.711 measured in the same run as the reference: each Our*
// row has its Spandsp* partner. bench/codec_ratio.sh prints the ratios.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdint>

// spandsp's own math macros need the standard headers in first.
#include <spandsp/telephony.h>
#include <spandsp/bit_operations.h>
#include <spandsp/g711.h>

#include "media/g711.h"
#include "media/line_codecs.h"
#include "sip/sdp.h"

namespace talvenor {
namespace {

std::array<int16_t, 320> SpeechLikeFrame() {
  std::array<int16_t, 320> frame{};
  for (size_t index = 0; index < frame.size(); ++index) {
    frame[index] = static_cast<int16_t>(6000 * std::sin(0.07 * static_cast<double>(index)) +
                                        2000 * std::sin(0.31 * static_cast<double>(index)));
  }
  return frame;
}

void OurUlawEncode(benchmark::State& state) {
  auto frame = SpeechLikeFrame();
  std::array<uint8_t, 320> payload{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(EncodeUlaw(frame, payload));
    benchmark::ClobberMemory();
  }
}

void SpandspUlawEncode(benchmark::State& state) {
  auto frame = SpeechLikeFrame();
  std::array<uint8_t, 320> payload{};
  for (auto _ : state) {
    for (size_t index = 0; index < frame.size(); ++index) payload[index] = linear_to_ulaw(frame[index]);
    benchmark::DoNotOptimize(payload.data());
    benchmark::ClobberMemory();
  }
}

void OurAlawEncode(benchmark::State& state) {
  auto frame = SpeechLikeFrame();
  std::array<uint8_t, 320> payload{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(EncodeAlaw(frame, payload));
    benchmark::ClobberMemory();
  }
}

void SpandspAlawEncode(benchmark::State& state) {
  auto frame = SpeechLikeFrame();
  std::array<uint8_t, 320> payload{};
  for (auto _ : state) {
    for (size_t index = 0; index < frame.size(); ++index) payload[index] = linear_to_alaw(frame[index]);
    benchmark::DoNotOptimize(payload.data());
    benchmark::ClobberMemory();
  }
}

void OurUlawDecode(benchmark::State& state) {
  std::array<uint8_t, 320> payload{};
  EncodeUlaw(SpeechLikeFrame(), payload);
  std::array<int16_t, 320> samples{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(DecodeUlaw(payload, samples));
    benchmark::ClobberMemory();
  }
}

void SpandspUlawDecode(benchmark::State& state) {
  std::array<uint8_t, 320> payload{};
  EncodeUlaw(SpeechLikeFrame(), payload);
  std::array<int16_t, 320> samples{};
  for (auto _ : state) {
    for (size_t index = 0; index < payload.size(); ++index) samples[index] = ulaw_to_linear(payload[index]);
    benchmark::DoNotOptimize(samples.data());
    benchmark::ClobberMemory();
  }
}

void OurAlawDecode(benchmark::State& state) {
  std::array<uint8_t, 320> payload{};
  EncodeAlaw(SpeechLikeFrame(), payload);
  std::array<int16_t, 320> samples{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(DecodeAlaw(payload, samples));
    benchmark::ClobberMemory();
  }
}

void SpandspAlawDecode(benchmark::State& state) {
  std::array<uint8_t, 320> payload{};
  EncodeAlaw(SpeechLikeFrame(), payload);
  std::array<int16_t, 320> samples{};
  for (auto _ : state) {
    for (size_t index = 0; index < payload.size(); ++index) samples[index] = alaw_to_linear(payload[index]);
    benchmark::DoNotOptimize(samples.data());
    benchmark::ClobberMemory();
  }
}

void GsmEncode(benchmark::State& state) {
  LineCodecs codecs(nullptr);
  auto frame = SpeechLikeFrame();
  std::array<uint8_t, 1488> payload{};
  for (auto _ : state) benchmark::DoNotOptimize(codecs.Encode(kPayloadGsm, frame, payload));
}

void GsmDecode(benchmark::State& state) {
  LineCodecs codecs(nullptr);
  std::array<uint8_t, 1488> payload{};
  size_t length = codecs.Encode(kPayloadGsm, SpeechLikeFrame(), payload);
  std::array<int16_t, 640> samples{};
  for (auto _ : state) benchmark::DoNotOptimize(codecs.Decode(kPayloadGsm, std::span(payload).first(length), samples));
}

}  // namespace

BENCHMARK(OurUlawEncode);
BENCHMARK(SpandspUlawEncode);
BENCHMARK(OurAlawEncode);
BENCHMARK(SpandspAlawEncode);
BENCHMARK(OurUlawDecode);
BENCHMARK(SpandspUlawDecode);
BENCHMARK(OurAlawDecode);
BENCHMARK(SpandspAlawDecode);
BENCHMARK(GsmEncode);
BENCHMARK(GsmDecode);

}  // namespace talvenor
