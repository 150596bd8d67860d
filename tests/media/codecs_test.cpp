// The voice codecs: G.711 against an independent implementation, the frame
// rules of each codec, and a real signal through each of them.
#include <gtest/gtest.h>

#include <malloc.h>

#include <numbers>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

// spandsp's own math macros need the standard headers in first.
#include <spandsp/telephony.h>
#include <spandsp/bit_operations.h>
#include <spandsp/g711.h>

#include "media/g711.h"
#include "platform/shared_library.h"
#include "media/gsm_codec.h"
#include "media/line_codecs.h"
#include "sip/sdp.h"

namespace talvenor {
namespace {

TEST(G711, AgreesWithTheReferenceOnG711sOwnGrid) {
  for (int code = 0; code < 256; ++code) {
    ASSERT_EQ(LinearFromUlaw(static_cast<uint8_t>(code)), ulaw_to_linear(static_cast<uint8_t>(code))) << code;
    ASSERT_EQ(LinearFromAlaw(static_cast<uint8_t>(code)), alaw_to_linear(static_cast<uint8_t>(code))) << code;
  }
  // The frame decoders, two codes at a time and an odd one at the end.
  std::array<uint8_t, 257> codes{};
  for (size_t index = 0; index < codes.size(); ++index) codes[index] = static_cast<uint8_t>(index * 7);
  std::array<int16_t, 257> ulaw{}, alaw{};
  ASSERT_EQ(DecodeUlaw(codes, ulaw), 257u);
  ASSERT_EQ(DecodeAlaw(codes, alaw), 257u);
  for (size_t index = 0; index < codes.size(); ++index) {
    ASSERT_EQ(ulaw[index], ulaw_to_linear(codes[index])) << index;
    ASSERT_EQ(alaw[index], alaw_to_linear(codes[index])) << index;
  }
  int alawDifferences = 0;
  for (int sample = -32768; sample <= 32767; ++sample) {
    auto linear = static_cast<int16_t>(sample);
    ASSERT_EQ(UlawFromLinear(linear), linear_to_ulaw(sample)) << sample;
    uint8_t ours = AlawFromLinear(linear);
    uint8_t reference = linear_to_alaw(sample);
    if (ours == reference) continue;
    // G.711 codes 13 bits: on that grid (multiples of 8) the two agree. Below
    // it, a negative sample may fall on the neighbouring level.
    ++alawDifferences;
    ASSERT_TRUE(sample < 0 && sample % 8 != 0) << sample;
    ASSERT_EQ(std::abs((ours ^ 0x55) - (reference ^ 0x55)), 1) << sample;
  }
  EXPECT_LT(alawDifferences, 1024);  // 889 negative samples out of 32768
}

TEST(G711, EdgeValues) {
  EXPECT_EQ(UlawFromLinear(0), 0xFF);
  EXPECT_EQ(UlawFromLinear(-1), 0x7F);
  EXPECT_EQ(LinearFromUlaw(0xFF), 0);
  EXPECT_EQ(LinearFromUlaw(0x00), -32124);
  EXPECT_EQ(LinearFromUlaw(0x80), 32124);
  EXPECT_EQ(AlawFromLinear(0), 0xD5);
  EXPECT_EQ(LinearFromAlaw(0xD5), 8);
  EXPECT_EQ(LinearFromAlaw(0x55), -8);
  EXPECT_EQ(LinearFromAlaw(0xAA), 32256);
  EXPECT_EQ(LinearFromAlaw(0x2A), -32256);
  for (int16_t tiny = -7; tiny <= -1; ++tiny) EXPECT_EQ(AlawFromLinear(tiny), 0x55) << tiny;  // not 0x5A
}

// 2 seconds of a chirp from 200 to 3200 Hz at a speaking level.
std::vector<int16_t> Chirp() {
  std::vector<int16_t> samples(16000);
  double phase = 0;
  for (size_t index = 0; index < samples.size(); ++index) {
    double frequency = 200 + 3000.0 * static_cast<double>(index) / static_cast<double>(samples.size());
    phase += 2 * std::numbers::pi * frequency / 8000;
    samples[index] = static_cast<int16_t>(8000 * std::sin(phase));
  }
  return samples;
}

// The signal-to-noise ratio in dB at the best alignment within `maxDelay`.
double SignalToNoise(const std::vector<int16_t>& original, const std::vector<int16_t>& decoded, size_t maxDelay) {
  double best = -1e9;
  for (size_t delay = 0; delay <= maxDelay; ++delay) {
    double signal = 0;
    double noise = 0;
    for (size_t index = 400; index + delay < decoded.size() && index < original.size(); ++index) {
      double error = decoded[index + delay] - original[index];
      signal += static_cast<double>(original[index]) * original[index];
      noise += error * error;
    }
    best = std::max(best, 10 * std::log10(signal / std::max(noise, 1.0)));
  }
  return best;
}

TEST(Codecs, FramesAndARealSignalThroughEachCodec) {
  std::vector<int16_t> chirp = Chirp();
  std::array<uint8_t, 1488> payload{};
  std::vector<int16_t> decoded(chirp.size());
  // G.711: one code per sample, both ways.
  for (auto [encode, decode] : {std::pair{&EncodeUlaw, &DecodeUlaw}, std::pair{&EncodeAlaw, &DecodeAlaw}}) {
    for (size_t at = 0; at < chirp.size(); at += 320) {
      ASSERT_EQ(encode(std::span(chirp).subspan(at, 320), payload), 320u);
      ASSERT_EQ(decode(std::span(payload).first(320), std::span(decoded).subspan(at, 320)), 320u);
    }
    EXPECT_GT(SignalToNoise(chirp, decoded, 0), 30.0);
  }
  EXPECT_EQ(EncodeUlaw(std::span(chirp).first(150), payload), 150u);  // a 300-byte frame
  // GSM: whole frames of 160 samples only.
  GsmCodec gsm;
  ASSERT_TRUE(gsm.Ready());
  EXPECT_EQ(gsm.Encode(std::span(chirp).first(150), payload), 0u);
  for (size_t at = 0; at < chirp.size(); at += 320) {
    ASSERT_EQ(gsm.Encode(std::span(chirp).subspan(at, 320), payload), 66u);
    EXPECT_EQ(payload[0] >> 4, 0xD);  // the GSM signature
    payload[kGsmFrameBytes] &= 0x0F;   // a peer's frame without it still decodes
    ASSERT_EQ(gsm.Decode(std::span(payload).first(66), std::span(decoded).subspan(at, 320)), 320u);
  }
  EXPECT_GT(SignalToNoise(chirp, decoded, 0), 6.0);
  std::array<int16_t, 640> wide{};
  EXPECT_EQ(gsm.Decode(std::span(payload).first(70), wide), 320u);  // 4 trailing bytes ignored
  EXPECT_EQ(gsm.Decode(std::span(payload).first(66), std::span(wide).first(200)), 160u);  // room for one
}

TEST(Codecs, G729ThroughTheLibraryBuiltForTheModule) {
  ASSERT_EQ(LoadG729Library({std::string(TALVENOR_BIN_DIR) + "/" + talvenor::LibraryFileName("CodecG729")}), G729Load::Usable);
  std::vector<int16_t> chirp = Chirp();
  std::vector<int16_t> decoded(chirp.size());
  {
    LineCodecs codecs(SharedG729Library());
    FreeG729Library();  // as at shutdown: the line keeps the library
    std::array<uint8_t, 1488> payload{};
    for (size_t at = 0; at < chirp.size(); at += 320) {
      ASSERT_EQ(codecs.Encode(kPayloadG729, std::span(chirp).subspan(at, 320), payload), 40u);
      ASSERT_EQ(codecs.Decode(kPayloadG729, std::span(payload).first(40), std::span(decoded).subspan(at, 320)),
                320u);
    }
    // Only what the payload can take is encoded.
    EXPECT_EQ(codecs.Encode(kPayloadG729, std::span(chirp).first(320), std::span(payload).first(25)), 20u);
    // A lost stretch made up by the decoder from its own state, in whole 10 ms frames.
    std::array<int16_t, 200> madeUp{};
    EXPECT_EQ(codecs.Conceal(kPayloadG729, madeUp), 160u);
    EXPECT_TRUE(std::any_of(madeUp.begin(), madeUp.begin() + 160, [](int16_t sample) { return sample != 0; }));
    EXPECT_EQ(codecs.Conceal(kPayloadGsm, madeUp), 0u);
  }
  EXPECT_GT(SignalToNoise(chirp, decoded, 200), 6.0);
}

TEST(Codecs, ResultsOfTheG729LibraryThatDoNotFitAreNothing) {
  ASSERT_NE(LoadG729Library({std::string(TALVENOR_G729_STUB_OVERSIZED_DIR) + "/" + talvenor::LibraryFileName("CodecG729")}), G729Load::Missing);
  LineCodecs codecs(SharedG729Library());
  FreeG729Library();
  std::array<int16_t, 320> samples{};
  std::array<uint8_t, 1488> payload{};
  EXPECT_EQ(codecs.Encode(kPayloadG729, samples, payload), 0u);
  EXPECT_EQ(codecs.Decode(kPayloadG729, std::span(payload).first(20), samples), 0u);
  EXPECT_EQ(codecs.Decode(kPayloadG729, std::span(payload).first(1), samples), 0u);
  EXPECT_EQ(codecs.Conceal(kPayloadG729, samples), 0u);  // a library without its own concealment
  // Without a library, and for types without a codec here: nothing.
  LineCodecs without(nullptr);
  EXPECT_EQ(without.Encode(kPayloadG729, samples, payload), 0u);
  EXPECT_EQ(without.Encode(4, samples, payload), 0u);
}

TEST(Codecs, AHostMakingCallAfterCallThroughG729DoesNotGrow) {
// glibc tells the heap in use; the sanitizers keep their own heap.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || !defined(__GLIBC__)
  GTEST_SKIP() << "the sanitizers' allocators hold freed memory back; measured in the plain build";
#else
  ASSERT_NE(LoadG729Library({std::string(TALVENOR_BIN_DIR) + "/" + talvenor::LibraryFileName("CodecG729")}), G729Load::Missing);
  std::array<int16_t, 320> samples{};
  std::array<uint8_t, 1488> payload{};
  auto calls = [&](int count) {
    for (int call = 0; call < count; ++call) {
      auto codecs = std::make_unique<LineCodecs>(SharedG729Library());
      size_t length = codecs->Encode(kPayloadG729, samples, payload);
      codecs->Decode(kPayloadG729, std::span(payload).first(length), samples);
    }
    return mallinfo2().uordblks;
  };
  size_t settled = calls(200);
  size_t after = calls(3000);
  FreeG729Library();
  EXPECT_LT(after, settled + 256 * 1024) << "heap in use grew from " << settled << " to " << after;
#endif
}

}  // namespace
}  // namespace talvenor
