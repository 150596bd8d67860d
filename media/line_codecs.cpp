#include "media/line_codecs.h"

#include <algorithm>

#include "media/g711.h"
#include "sip/sdp.h"

namespace talvenor {

namespace {
// G.729 gives 10 payload bytes for 80 samples.
constexpr size_t kG729FrameSamples = 80;
constexpr size_t kG729FrameBytes = 10;
}  // namespace

LineCodecs::LineCodecs(std::shared_ptr<const LoadedG729Library> g729) : g729_(std::move(g729)) {}

size_t LineCodecs::Encode(int payloadType, std::span<const int16_t> samples, std::span<uint8_t> payload) {
  switch (payloadType) {
    case kPayloadG711Ulaw: return EncodeUlaw(samples, payload);
    case kPayloadG711Alaw: return EncodeAlaw(samples, payload);
    case kPayloadGsm: return gsm_.Encode(samples, payload);
    case kPayloadG729: break;
    default: return 0;
  }
  if (!g729_ || g729_->entries.encode == nullptr) return 0;
  // Only as many samples as the payload can take; the library checks no size.
  size_t fitting = std::min(samples.size(), payload.size() / kG729FrameBytes * kG729FrameSamples);
  int written = g729_->entries.encode(&g729Encoder_, payload.data(), samples.data(), static_cast<int>(fitting * 2));
  // A result that is not positive or does not fit is nothing to send.
  return written > 0 && static_cast<size_t>(written) <= payload.size() ? static_cast<size_t>(written) : 0;
}

size_t LineCodecs::Decode(int payloadType, std::span<const uint8_t> payload, std::span<int16_t> samples) {
  switch (payloadType) {
    case kPayloadG711Ulaw: return DecodeUlaw(payload, samples);
    case kPayloadG711Alaw: return DecodeAlaw(payload, samples);
    case kPayloadGsm: return gsm_.Decode(payload, samples);
    case kPayloadG729: break;
    default: return 0;
  }
  if (!g729_ || g729_->entries.decode == nullptr) return 0;
  int capacity = static_cast<int>(samples.size() * 2);
  int written = g729_->entries.decode(&g729Decoder_, samples.data(), capacity, payload.data(),
                                      static_cast<int>(payload.size()));
  // Bytes of samples; a result that is not positive or overflows delivers nothing.
  return written > 0 && written <= capacity ? static_cast<size_t>(written) / 2 : 0;
}

size_t LineCodecs::Conceal(int payloadType, std::span<int16_t> samples) {
  if (payloadType != kPayloadG729 || !g729_ || g729_->entries.conceal == nullptr) return 0;
  int capacity = static_cast<int>(samples.size() / kG729FrameSamples * kG729FrameSamples * 2);
  int written = capacity > 0 ? g729_->entries.conceal(&g729Decoder_, samples.data(), capacity) : 0;
  return written > 0 && written <= capacity ? static_cast<size_t>(written) / 2 : 0;
}

}  // namespace talvenor
