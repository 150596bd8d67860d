// GSM 06.10 full rate through libgsm: 160 samples (320 bytes) make one
// 33-byte frame in the RTP GSM payload format. One encoder and one decoder
// per call line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct gsm_state;  // libgsm's

namespace talvenor {

inline constexpr size_t kGsmFrameBytes = 33;
inline constexpr size_t kGsmFrameSamples = 160;

class GsmCodec {
public:
  GsmCodec();
  ~GsmCodec();
  GsmCodec(const GsmCodec&) = delete;
  GsmCodec& operator=(const GsmCodec&) = delete;

  // False when libgsm could not make its states (out of memory).
  bool Ready() const { return encoder_ != nullptr && decoder_ != nullptr; }
  // One frame for every whole 160 samples that fit the payload; the
  // remainder is ignored. The payload bytes written.
  size_t Encode(std::span<const int16_t> samples, std::span<uint8_t> payload);
  // Whole 33-byte frames while 160 samples still fit; fewer than 33 trailing
  // bytes are ignored. A frame's first nibble is read as the GSM signature
  // whatever it holds. The samples written.
  size_t Decode(std::span<const uint8_t> payload, std::span<int16_t> samples);

private:
  ::gsm_state* encoder_;
  ::gsm_state* decoder_;
};

}  // namespace talvenor
