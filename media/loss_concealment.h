// Made-up audio for what never arrived, on decoded 16-bit samples so that it
// serves every codec: spandsp's packet loss concealment, which repeats the
// last pitch period and fades it out.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace talvenor {

class LossConcealment {
public:
  LossConcealment();
  ~LossConcealment();
  LossConcealment(const LossConcealment&) = delete;
  LossConcealment& operator=(const LossConcealment&) = delete;

  // Audio that arrived, in playout order; after made-up audio its start is
  // blended into what was made up.
  void Heard(std::span<int16_t> samples);
  // Fills `samples` with made-up audio (silence when the concealer could
  // not be had).
  void Conceal(std::span<int16_t> samples);

private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace talvenor
