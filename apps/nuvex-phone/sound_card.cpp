#include "apps/nuvex-phone/sound_card.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <portaudio.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "apps/nuvex-phone/resampler.h"

namespace nuvex {

namespace {

constexpr size_t kCallFrame = 320;  // 40 ms at 8000 samples per second
constexpr double kCallRate = 8000;

// PortAudio's back ends, ALSA and JACK, report every device they probe and
// every server they fail to reach on standard error: a phone on a machine
// without sound would start with a screen of them. Their own message hooks
// take them instead; standard error itself stays open, for what else
// (a sanitizer's report) has to be seen.
void IgnoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}
void IgnoreJackMessage(const char*) {}

void QuietenAudioBackEnds() {
  snd_lib_error_set_handler(IgnoreAlsaMessage);
  jack_set_error_function(IgnoreJackMessage);
  jack_set_info_function(IgnoreJackMessage);
}

struct Listener {
  SoundCard::Microphone microphone;
  SoundCard::Played played;
  std::deque<std::vector<int16_t>> frames;
};

class PortAudioCard final : public SoundCard {
public:
  PortAudioCard(PaStream* stream, double rate) : stream_(stream), deviceFrame_(SamplesPerFrame(rate)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~PortAudioCard() override { Stop(); }

  int Join(Microphone microphone, Played played) override {
    std::scoped_lock lock(mutex_);
    if (stopped_) return -1;
    int call = nextCall_++;
    listeners_[call] = std::make_shared<Listener>(Listener{std::move(microphone), std::move(played), {}});
    return call;
  }

  void Leave(int call) override {
    {
      std::scoped_lock lock(mutex_);
      listeners_.erase(call);
    }
    // A round of calls to the listeners may have taken this one before it
    // left: the caller frees what the listener reaches once this returns.
    std::scoped_lock round(roundMutex_);
  }

  void Play(int call, std::span<const int16_t> frame) override {
    std::scoped_lock lock(mutex_);
    auto found = listeners_.find(call);
    if (found == listeners_.end()) return;
    std::vector<int16_t> copy(kCallFrame, 0);
    std::copy_n(frame.begin(), std::min(frame.size(), kCallFrame), copy.begin());
    found->second->frames.push_back(std::move(copy));
  }

  void Stop() override {
    {
      std::scoped_lock lock(mutex_);
      if (stopped_) return;
      stopped_ = true;
      listeners_.clear();
    }
    running_ = false;
    if (thread_.joinable()) thread_.join();
    Pa_StopStream(stream_);
    Pa_CloseStream(stream_);
    Pa_Terminate();
  }

private:
  // The listeners are called without the card's lock, under the round's
  // lock alone: Leave waits for the round, and is never called from one.
  void Run() {
    std::vector<int16_t> captured(deviceFrame_), playing(deviceFrame_);
    std::array<int16_t, kCallFrame> microphone{};
    std::array<int32_t, kCallFrame> mix{};
    std::array<int16_t, kCallFrame> mixed{};
    Resampler fromCard, toCard;
    // A card paces the loop by blocking until 40 ms have been heard; one
    // that does not (a null device, some virtual ones) would have the calls
    // send as fast as the processor goes. The clock holds it to real time.
    auto next = std::chrono::steady_clock::now();
    while (running_) {
      next += std::chrono::milliseconds(40);
      auto now = std::chrono::steady_clock::now();
      if (next > now) {
        std::this_thread::sleep_until(next);
      } else if (now - next > std::chrono::milliseconds(200)) {
        next = now;  // far behind (the machine was busy): no burst to catch up
      }
      // Overflow and underflow only mean a frame was late: go on.
      Pa_ReadStream(stream_, captured.data(), deviceFrame_);
      fromCard.Convert(captured, microphone);
      std::scoped_lock round(roundMutex_);
      std::vector<std::shared_ptr<Listener>> listeners;
      std::vector<SoundCard::Played> played;
      mix.fill(0);
      {
        std::scoped_lock lock(mutex_);
        for (auto& [call, listener] : listeners_) {
          listeners.push_back(listener);
          if (listener->frames.empty()) continue;
          const std::vector<int16_t>& frame = listener->frames.front();
          for (size_t index = 0; index < kCallFrame; ++index) mix[index] += frame[index];
          listener->frames.pop_front();
          played.push_back(listener->played);
        }
      }
      for (auto& listener : listeners) listener->microphone(microphone);
      for (size_t index = 0; index < kCallFrame; ++index) {
        mixed[index] = static_cast<int16_t>(std::clamp(mix[index], -32768, 32767));
      }
      toCard.Convert(mixed, playing);
      Pa_WriteStream(stream_, playing.data(), deviceFrame_);
      for (auto& release : played) release();
    }
  }

  PaStream* stream_;
  const size_t deviceFrame_;
  std::atomic<bool> running_{true};
  std::mutex roundMutex_;  // held while the listeners are called
  std::mutex mutex_;
  bool stopped_ = false;
  int nextCall_ = 0;
  std::map<int, std::shared_ptr<Listener>> listeners_;
  std::thread thread_;
};

PaStreamParameters Parameters(PaDeviceIndex device, bool input) {
  const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
  PaStreamParameters parameters{};
  parameters.device = device;
  parameters.channelCount = 1;
  parameters.sampleFormat = paInt16;
  parameters.suggestedLatency = input ? info->defaultLowInputLatency : info->defaultLowOutputLatency;
  return parameters;
}

}  // namespace

std::unique_ptr<SoundCard> SoundCard::Open(std::string& why) {
  PaStream* stream = nullptr;
  double rate = kCallRate;
  {
    QuietenAudioBackEnds();
    if (PaError error = Pa_Initialize(); error != paNoError) {
      why = Pa_GetErrorText(error);
      return nullptr;
    }
    PaDeviceIndex in = Pa_GetDefaultInputDevice();
    PaDeviceIndex out = Pa_GetDefaultOutputDevice();
    if (in == paNoDevice || out == paNoDevice) {
      why = "no sound card with a microphone and a loudspeaker";
      Pa_Terminate();
      return nullptr;
    }
    PaStreamParameters input = Parameters(in, true);
    PaStreamParameters output = Parameters(out, false);
    if (Pa_IsFormatSupported(&input, &output, kCallRate) != paFormatIsSupported) {
      rate = Pa_GetDeviceInfo(in)->defaultSampleRate;
    }
    PaError error = Pa_OpenStream(&stream, &input, &output, rate, SamplesPerFrame(rate), paClipOff, nullptr, nullptr);
    if (error == paNoError) error = Pa_StartStream(stream);
    if (error != paNoError) {
      why = Pa_GetErrorText(error);
      if (stream != nullptr) Pa_CloseStream(stream);
      Pa_Terminate();
      return nullptr;
    }
  }
  return std::make_unique<PortAudioCard>(stream, rate);
}

}  // namespace nuvex
