// The codecs of one call line, chosen by payload type for every frame:
// G.711 mu-law (0) and A-law (8) in the module, GSM 06.10 (3) with a state
// per direction, G.729 (18) through the external library, which the line
// keeps loaded while it lives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "media/gsm_codec.h"
#include "media/g729_library.h"

namespace talvenor {

class LineCodecs {
public:
  explicit LineCodecs(std::shared_ptr<const LoadedG729Library> g729);

  // The payload for the samples; never more than the payload holds, 0 when
  // the type has no codec here or the codec gives nothing.
  size_t Encode(int payloadType, std::span<const int16_t> samples, std::span<uint8_t> payload);
  // The samples of a payload; never more than the samples hold.
  size_t Decode(int payloadType, std::span<const uint8_t> payload, std::span<int16_t> samples);
  // Made-up samples for a lost stretch from the decoder's own state, in
  // whole codec frames; 0 where the codec has no concealment of its own
  // (only G.729 through a library that offers it).
  size_t Conceal(int payloadType, std::span<int16_t> samples);

private:
  GsmCodec gsm_;
  std::shared_ptr<const LoadedG729Library> g729_;
  // Owned by the G.729 library, which starts a fresh context for an int that reads 1.
  int g729Encoder_ = 1;
  int g729Decoder_ = 1;
};

}  // namespace talvenor
