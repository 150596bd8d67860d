// The sound card through the system's wave functions: the default
// microphone and loudspeaker opened at the calls' own format (8000 Hz, mono,
// 16-bit; the system converts for cards that run at another rate), 40 ms a
// buffer.
#include "apps/nuvex-phone/platform/sound_card.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "apps/nuvex-phone/call_mixer.h"
#include "apps/nuvex-phone/platform/win32/wide_text.h"

namespace nuvex {

namespace {

constexpr size_t kCallFrame = CallMixer::kFrame;
constexpr DWORD kCallRate = 8000;
constexpr DWORD kFrameBytes = kCallFrame * sizeof(int16_t);
constexpr std::chrono::milliseconds kFrameTime{40};
// Buffers the microphone fills ahead of the loop, and the loudspeaker's
// queue: a few frames of slack for a busy machine.
constexpr size_t kInputBuffers = 4;
constexpr size_t kOutputBuffers = 6;

using Clock = std::chrono::steady_clock;

WAVEFORMATEX CallFormat() {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 1;
  format.nSamplesPerSec = kCallRate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = sizeof(int16_t);
  format.nAvgBytesPerSec = kCallRate * format.nBlockAlign;
  return format;
}

std::string InputErrorText(MMRESULT error) {
  wchar_t text[MAXERRORLENGTH] = {};
  waveInGetErrorTextW(error, text, MAXERRORLENGTH);
  return Utf8Text(std::wstring(text));
}

std::string OutputErrorText(MMRESULT error) {
  wchar_t text[MAXERRORLENGTH] = {};
  waveOutGetErrorTextW(error, text, MAXERRORLENGTH);
  return Utf8Text(std::wstring(text));
}

// One 40 ms buffer with its header; the header points into the samples, so
// neither moves once made.
struct WaveBuffer {
  std::array<int16_t, kCallFrame> samples{};
  WAVEHDR header{};
  bool queued = false;

  WaveBuffer() {
    header.lpData = reinterpret_cast<LPSTR>(samples.data());
    header.dwBufferLength = kFrameBytes;
  }
  bool Done() const { return !queued || (header.dwFlags & WHDR_DONE) != 0; }
};

class WaveCard final : public SoundCard {
public:
  WaveCard(HWAVEIN in, HWAVEOUT out, HANDLE captured)
      : in_(in), out_(out), captured_(captured), input_(kInputBuffers), output_(kOutputBuffers) {
    for (WaveBuffer& buffer : input_) {
      waveInPrepareHeader(in_, &buffer.header, sizeof buffer.header);
      buffer.queued = waveInAddBuffer(in_, &buffer.header, sizeof buffer.header) == MMSYSERR_NOERROR;
    }
    for (WaveBuffer& buffer : output_) waveOutPrepareHeader(out_, &buffer.header, sizeof buffer.header);
    // One frame of silence ahead: a round that comes a little late finds the
    // loudspeaker still playing.
    PlayOut({});
    waveInStart(in_);
    thread_ = std::thread([this] { Run(); });
  }
  ~WaveCard() override { Stop(); }

  int Join(Microphone microphone, Played played) override { return calls_.Join(std::move(microphone), std::move(played)); }
  void Leave(int call) override { calls_.Leave(call); }
  void Play(int call, std::span<const int16_t> frame) override { calls_.Play(call, frame); }

  void Stop() override {
    if (!calls_.Close()) return;
    running_ = false;
    if (thread_.joinable()) thread_.join();
    // Reset hands every queued buffer back, done, before the headers go.
    waveInReset(in_);
    waveOutReset(out_);
    for (WaveBuffer& buffer : input_) waveInUnprepareHeader(in_, &buffer.header, sizeof buffer.header);
    for (WaveBuffer& buffer : output_) waveOutUnprepareHeader(out_, &buffer.header, sizeof buffer.header);
    waveInClose(in_);
    waveOutClose(out_);
    CloseHandle(captured_);
  }

private:
  // The next 40 ms of the microphone into `frame`: the oldest buffer once
  // the card has filled it, handed back for the card to fill again.
  // Silence when the card has delivered nothing by `deadline`.
  void Capture(std::array<int16_t, kCallFrame>& frame, Clock::time_point deadline) {
    WaveBuffer& buffer = input_[nextInput_];
    while (!buffer.Done()) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0 || WaitForSingleObject(captured_, static_cast<DWORD>(left)) != WAIT_OBJECT_0) break;
    }
    frame.fill(0);
    if (!buffer.Done()) return;
    size_t samples = std::min<size_t>(buffer.header.dwBytesRecorded / sizeof(int16_t), kCallFrame);
    std::copy_n(buffer.samples.begin(), samples, frame.begin());
    buffer.header.dwBytesRecorded = 0;
    buffer.queued = waveInAddBuffer(in_, &buffer.header, sizeof buffer.header) == MMSYSERR_NOERROR;
    nextInput_ = (nextInput_ + 1) % input_.size();
  }

  // The mixed frame into a free loudspeaker buffer; dropped when the card
  // has played none of the queued ones (it has fallen behind).
  void PlayOut(std::span<const int16_t> frame) {
    auto free = std::find_if(output_.begin(), output_.end(), [](const WaveBuffer& each) { return each.Done(); });
    if (free == output_.end()) return;
    free->samples.fill(0);
    std::copy_n(frame.begin(), std::min(frame.size(), kCallFrame), free->samples.begin());
    free->header.dwFlags &= ~WHDR_DONE;
    free->queued = waveOutWrite(out_, &free->header, sizeof free->header) == MMSYSERR_NOERROR;
  }

  void Run() {
    std::array<int16_t, kCallFrame> microphone{};
    // A card paces the loop by filling a buffer every 40 ms: a round waits
    // for it up to the next round's time. One that does not (no microphone
    // behind the device, a virtual one) gives silence, and the clock holds
    // the calls to real time.
    auto next = Clock::now();
    while (running_) {
      next += kFrameTime;
      auto now = Clock::now();
      if (next > now) {
        std::this_thread::sleep_until(next);
      } else if (now - next > std::chrono::milliseconds(200)) {
        next = now;  // far behind (the machine was busy): no burst to catch up
      }
      Capture(microphone, next + kFrameTime);
      calls_.Round(microphone, [this](std::span<const int16_t> mixed) { PlayOut(mixed); });
    }
  }

  const HWAVEIN in_;
  const HWAVEOUT out_;
  const HANDLE captured_;  // signalled by the card as it fills a buffer
  std::vector<WaveBuffer> input_;
  std::vector<WaveBuffer> output_;
  size_t nextInput_ = 0;
  CallMixer calls_;
  std::atomic<bool> running_{true};
  std::thread thread_;
};

}  // namespace

std::unique_ptr<SoundCard> SoundCard::Open(std::string& why) {
  if (waveInGetNumDevs() == 0 || waveOutGetNumDevs() == 0) {
    why = "no sound card with a microphone and a loudspeaker";
    return nullptr;
  }
  WAVEFORMATEX format = CallFormat();
  HANDLE captured = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (captured == nullptr) {
    why = SystemErrorText(GetLastError());
    return nullptr;
  }
  HWAVEIN in = nullptr;
  MMRESULT error = waveInOpen(&in, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(captured), 0, CALLBACK_EVENT);
  if (error != MMSYSERR_NOERROR) {
    why = InputErrorText(error);
    CloseHandle(captured);
    return nullptr;
  }
  HWAVEOUT out = nullptr;
  error = waveOutOpen(&out, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
  if (error != MMSYSERR_NOERROR) {
    why = OutputErrorText(error);
    waveInClose(in);
    CloseHandle(captured);
    return nullptr;
  }
  return std::make_unique<WaveCard>(in, out, captured);
}

}  // namespace nuvex
