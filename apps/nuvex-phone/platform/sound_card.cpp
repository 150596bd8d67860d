#include "apps/nuvex-phone/platform/sound_card.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <portaudio.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "apps/nuvex-phone/call_mixer.h"
#include "apps/nuvex-phone/resampler.h"

namespace nuvex {

namespace {

constexpr size_t kCallFrame = CallMixer::kFrame;
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

class PortAudioCard final : public SoundCard {
public:
  PortAudioCard(PaStream* stream, double rate) : stream_(stream), deviceFrame_(SamplesPerFrame(rate)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~PortAudioCard() override { Stop(); }

  int Join(Microphone microphone, Played played) override { return calls_.Join(std::move(microphone), std::move(played)); }
  void Leave(int call) override { calls_.Leave(call); }
  void Play(int call, std::span<const int16_t> frame) override { calls_.Play(call, frame); }

  void Stop() override {
    if (!calls_.Close()) return;
    running_ = false;
    if (thread_.joinable()) thread_.join();
    Pa_StopStream(stream_);
    Pa_CloseStream(stream_);
    Pa_Terminate();
  }

private:
  void Run() {
    std::vector<int16_t> captured(deviceFrame_), playing(deviceFrame_);
    std::array<int16_t, kCallFrame> microphone{};
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
      calls_.Round(microphone, [&](std::span<const int16_t> mixed) {
        toCard.Convert(mixed, playing);
        Pa_WriteStream(stream_, playing.data(), deviceFrame_);
      });
    }
  }

  PaStream* stream_;
  const size_t deviceFrame_;
  CallMixer calls_;
  std::atomic<bool> running_{true};
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
