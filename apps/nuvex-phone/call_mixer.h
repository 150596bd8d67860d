// The calls that share the sound card, apart from any device: each call's
// frames wait in its queue until a round plays them, a round mixes the
// calls' next frames into one and hands every call the microphone's frame,
// and a call's frame is released once the card has it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "apps/nuvex-phone/platform/sound_card.h"

namespace nuvex {

class CallMixer {
public:
  static constexpr size_t kFrame = 320;  // 40 ms at 8000 samples per second
  using PlayOut = std::function<void(std::span<const int16_t> mixed)>;

  // SoundCard's Join, Leave and Play.
  int Join(SoundCard::Microphone microphone, SoundCard::Played played);
  void Leave(int call);
  void Play(int call, std::span<const int16_t> frame);
  // Refuses new calls and drops the joined ones; true the first time only.
  bool Close();

  // One round of the card's thread: `microphone` to every call, their next
  // frames mixed and handed to `playOut`, then each played frame released.
  void Round(std::span<const int16_t> microphone, const PlayOut& playOut);

private:
  struct Listener {
    SoundCard::Microphone microphone;
    SoundCard::Played played;
    std::deque<std::vector<int16_t>> frames;
  };

  // The listeners are called without mutex_, under roundMutex_ alone: Leave
  // waits for the round, and is never called from one.
  std::mutex roundMutex_;
  std::mutex mutex_;
  bool closed_ = false;
  int nextCall_ = 0;
  std::map<int, std::shared_ptr<Listener>> listeners_;
};

}  // namespace nuvex
