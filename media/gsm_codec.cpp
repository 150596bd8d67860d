#include "media/gsm_codec.h"

#include <gsm.h>

#include <algorithm>
#include <array>

namespace talvenor {

GsmCodec::GsmCodec() : encoder_(gsm_create()), decoder_(gsm_create()) {}

GsmCodec::~GsmCodec() {
  if (encoder_ != nullptr) gsm_destroy(encoder_);
  if (decoder_ != nullptr) gsm_destroy(decoder_);
}

size_t GsmCodec::Encode(std::span<const int16_t> samples, std::span<uint8_t> payload) {
  if (!Ready()) return 0;
  size_t frames = std::min(samples.size() / kGsmFrameSamples, payload.size() / kGsmFrameBytes);
  std::array<gsm_signal, kGsmFrameSamples> frame{};
  for (size_t index = 0; index < frames; ++index) {
    // gsm_encode takes a writable buffer; the host's samples stay untouched.
    std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(index * kGsmFrameSamples), kGsmFrameSamples,
                frame.begin());
    gsm_encode(encoder_, frame.data(), payload.data() + index * kGsmFrameBytes);
  }
  return frames * kGsmFrameBytes;
}

size_t GsmCodec::Decode(std::span<const uint8_t> payload, std::span<int16_t> samples) {
  if (!Ready()) return 0;
  size_t frames = std::min(payload.size() / kGsmFrameBytes, samples.size() / kGsmFrameSamples);
  std::array<gsm_byte, kGsmFrameBytes> frame{};
  for (size_t index = 0; index < frames; ++index) {
    std::copy_n(payload.begin() + static_cast<std::ptrdiff_t>(index * kGsmFrameBytes), kGsmFrameBytes, frame.begin());
    frame[0] = static_cast<gsm_byte>((frame[0] & 0x0F) | 0xD0);  // libgsm refuses any other signature
    gsm_decode(decoder_, frame.data(), samples.data() + index * kGsmFrameSamples);
  }
  return frames * kGsmFrameSamples;
}

}  // namespace talvenor
