// Frames of the calls' 8000 samples per second to and from a sound card
// that runs at another rate. The rates cards offer (8, 11.025, 16, 22.05,
// 44.1, 48 kHz...) give whole numbers of samples per 40 ms frame.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace nuvex {

// Samples in one 40 ms frame at `rate` samples per second.
inline size_t SamplesPerFrame(double rate) { return static_cast<size_t>(rate * 0.04 + 0.5); }

// One direction of one stream, frame after frame: `to.size()` samples over
// the same time as `from`. Up, by linear interpolation that reaches back to
// the previous frame's last sample (one source sample late); down, each
// sample the mean of the source samples of its span, which keeps most of
// what lies above the new Nyquist frequency out.
class Resampler {
public:
  void Convert(std::span<const int16_t> from, std::span<int16_t> to);

private:
  int16_t last_ = 0;
};

}  // namespace nuvex
