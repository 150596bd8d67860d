#include "apps/nuvex-phone/resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

// A 400 Hz tone sampled at `rate` from time `start` on.
std::vector<int16_t> Tone(double rate, size_t samples, double start) {
  std::vector<int16_t> tone(samples);
  for (size_t index = 0; index < samples; ++index) {
    double time = start + static_cast<double>(index) / rate;
    tone[index] = static_cast<int16_t>(10000 * std::sin(2 * M_PI * 400 * time));
  }
  return tone;
}

int LargestDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  int largest = 0;
  for (size_t index = 0; index < a.size(); ++index) largest = std::max(largest, std::abs(a[index] - b[index]));
  return largest;
}

// Converted frame after frame between the calls' rate and a card's, a tone
// stays the same tone, shifted by the converter's fixed offset and with no
// step at the frames' borders.
TEST(Resampler, ConvertsFramesToAndFromTheCardsRates) {
  for (double rate : {11025.0, 16000.0, 44100.0, 48000.0}) {
    size_t frame = nuvex::SamplesPerFrame(rate);
    nuvex::Resampler up, down;
    std::vector<int16_t> upped(frame), downed(320);
    for (int index = 0; index < 2; ++index) {
      up.Convert(Tone(8000, 320, index * 0.04), upped);
      down.Convert(Tone(rate, frame, index * 0.04), downed);
    }
    EXPECT_LT(LargestDifference(upped, Tone(rate, frame, 0.04 - 1 / 8000.0)), 250) << rate;
    // A mean stands for the middle of its span, half a span less half a
    // source sample after the result sample's own time.
    double downLead = (rate / 8000 - 1) / 2 / rate;
    EXPECT_LT(LargestDifference(downed, Tone(8000, 320, 0.04 + downLead)), 250) << rate;
  }
  EXPECT_EQ(nuvex::SamplesPerFrame(44100), 1764u);
}

}  // namespace
