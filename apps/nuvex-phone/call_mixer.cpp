#include "apps/nuvex-phone/call_mixer.h"

#include <algorithm>
#include <array>
#include <utility>

namespace nuvex {

int CallMixer::Join(SoundCard::Microphone microphone, SoundCard::Played played) {
  std::scoped_lock lock(mutex_);
  if (closed_) return -1;
  int call = nextCall_++;
  listeners_[call] = std::make_shared<Listener>(Listener{std::move(microphone), std::move(played), {}});
  return call;
}

void CallMixer::Leave(int call) {
  {
    std::scoped_lock lock(mutex_);
    listeners_.erase(call);
  }
  // A round may have taken this call before it left: the caller frees what
  // the call's functions reach once this returns.
  std::scoped_lock round(roundMutex_);
}

void CallMixer::Play(int call, std::span<const int16_t> frame) {
  std::scoped_lock lock(mutex_);
  auto found = listeners_.find(call);
  if (found == listeners_.end()) return;
  std::vector<int16_t> copy(kFrame, 0);
  std::copy_n(frame.begin(), std::min(frame.size(), kFrame), copy.begin());
  found->second->frames.push_back(std::move(copy));
}

bool CallMixer::Close() {
  std::scoped_lock lock(mutex_);
  if (closed_) return false;
  closed_ = true;
  listeners_.clear();
  return true;
}

void CallMixer::Round(std::span<const int16_t> microphone, const PlayOut& playOut) {
  std::scoped_lock round(roundMutex_);
  std::vector<std::shared_ptr<Listener>> listeners;
  std::vector<SoundCard::Played> played;
  std::array<int32_t, kFrame> mix{};
  {
    std::scoped_lock lock(mutex_);
    for (auto& [call, listener] : listeners_) {
      listeners.push_back(listener);
      if (listener->frames.empty()) continue;
      const std::vector<int16_t>& frame = listener->frames.front();
      for (size_t index = 0; index < kFrame; ++index) mix[index] += frame[index];
      listener->frames.pop_front();
      played.push_back(listener->played);
    }
  }
  for (auto& listener : listeners) listener->microphone(microphone);
  std::array<int16_t, kFrame> mixed{};
  for (size_t index = 0; index < kFrame; ++index) {
    mixed[index] = static_cast<int16_t>(std::clamp(mix[index], -32768, 32767));
  }
  playOut(mixed);
  for (auto& release : played) release();
}

}  // namespace nuvex
