// The phone's microphone and loudspeaker when a sound card is there, through
// the system's sound functions. One thread of its own reads 40 ms of the microphone at a time,
// hands it to every call that listens, and plays the calls' frames mixed;
// a call's frame is released once it has been played.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace nuvex {

class SoundCard {
public:
  using Microphone = std::function<void(std::span<const int16_t> frame)>;  // 320 samples
  using Played = std::function<void()>;

  // The default input and output devices, at 8000 samples per second when
  // they take it, else at their own rate with the frames converted. Nothing,
  // with the reason in `why`, when there is no card.
  static std::unique_ptr<SoundCard> Open(std::string& why);
  virtual ~SoundCard() = default;

  // A call joins: `microphone` gets each frame of the microphone and
  // `played` is called for each frame of the call's after it was played.
  // Returns the call's number for Play and Leave.
  virtual int Join(Microphone microphone, Played played) = 0;
  // The call's frames not yet played are dropped: its line is gone. Returns
  // once neither of its functions runs any more; never call it from them.
  virtual void Leave(int call) = 0;
  virtual void Play(int call, std::span<const int16_t> frame) = 0;
  // Ends the card's thread; Join is refused afterwards.
  virtual void Stop() = 0;
};

}  // namespace nuvex
