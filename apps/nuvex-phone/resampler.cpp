#include "apps/nuvex-phone/resampler.h"

#include <algorithm>

namespace nuvex {

void Resampler::Convert(std::span<const int16_t> from, std::span<int16_t> to) {
  if (to.empty()) return;
  if (from.empty()) {
    std::fill(to.begin(), to.end(), int16_t{0});
    return;
  }
  const double step = static_cast<double>(from.size()) / static_cast<double>(to.size());
  if (from.size() == to.size()) {
    std::copy(from.begin(), from.end(), to.begin());
  } else if (step > 1.0) {
    // Source sample k covers [k, k + 1); result sample i covers
    // [i * step, (i + 1) * step) and is the mean over it, edges weighed by
    // how much of them it covers.
    for (size_t index = 0; index < to.size(); ++index) {
      double begin = static_cast<double>(index) * step;
      double end = std::min(begin + step, static_cast<double>(from.size()));
      double sum = 0;
      for (size_t source = static_cast<size_t>(begin); static_cast<double>(source) < end; ++source) {
        double covered = std::min(end, static_cast<double>(source + 1)) - std::max(begin, static_cast<double>(source));
        sum += from[source] * covered;
      }
      to[index] = static_cast<int16_t>(std::clamp(sum / (end - begin), -32768.0, 32767.0));
    }
  } else {
    // Position 0 is the previous frame's last sample, 1 this frame's first.
    auto sample = [&](size_t position) { return position == 0 ? last_ : from[position - 1]; };
    for (size_t index = 0; index < to.size(); ++index) {
      double position = static_cast<double>(index) * step;
      size_t left = static_cast<size_t>(position);
      double fraction = position - static_cast<double>(left);
      double value = sample(left) + (sample(left + 1) - sample(left)) * fraction;
      to[index] = static_cast<int16_t>(std::clamp(value, -32768.0, 32767.0));
    }
  }
  last_ = from.back();
}

}  // namespace nuvex
