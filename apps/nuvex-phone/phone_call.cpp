#include "apps/nuvex-phone/phone_call.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <span>

#include "apps/nuvex-phone/phone_output.h"
#include "apps/nuvex-phone/platform/sound_card.h"
#include "apps/nuvex-phone/terminal_text.h"
#include "host/ccom.h"

namespace nuvex {

namespace {

constexpr size_t kFrameSamples = 320;
constexpr auto kFramePeriod = std::chrono::milliseconds(40);  // 320 samples at 8000 per second

std::string ReasonText(int reason) {
  switch (reason) {
    case 0: return "normal";
    case 2: return "unavailable";
    case 3: return "unreachable";
    case 4: return "no response";
    case 5: return "busy";
    case 6: return "failed";
    case 7: return "media error";
    default: return "rejected (" + std::to_string(reason) + ")";
  }
}

const char* StateText(PhoneCall::State state) {
  switch (state) {
    case PhoneCall::State::Calling: return "calling";
    case PhoneCall::State::Ringing: return "ringing";
    case PhoneCall::State::Answering: return "answering";
    case PhoneCall::State::Refusing: return "refusing";
    case PhoneCall::State::Connected: return "connected";
    case PhoneCall::State::Ended: return "ended";
  }
  return "?";
}

// The first call to connect records into the file named on the command line,
// the second into NAME-2.wav, the third into NAME-3.wav...
std::string RecordingPath(const std::string& first) {
  static std::atomic<int> connected{0};
  int number = ++connected;
  if (number == 1) return first;
  size_t slash = first.rfind('/');
  size_t dot = first.rfind('.');
  bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  std::string suffix = "-" + std::to_string(number);
  return extension ? first.substr(0, dot) + suffix + first.substr(dot) : first + suffix;
}

std::string Duration(std::chrono::steady_clock::duration elapsed) {
  long seconds = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", seconds / 60, seconds % 60);
  }
  return text;
}

}  // namespace

PhoneCall::PhoneCall(CCom* module, const CallOptions& options, bool incoming, std::string peer, EndNotice ended)
    : module_(module),
      options_(options),
      incoming_(incoming),
      peer_(std::move(peer)),
      ended_(std::move(ended)),
      state_(incoming ? State::Ringing : State::Calling) {}

PhoneCall::~PhoneCall() { Finish(); }

void PhoneCall::OnConnected(int, int) {
  {
    std::scoped_lock lock(mutex_);
    if (over_ || filesOpened_) return;
    filesOpened_ = true;
  }
  OpenFiles();
  if (SoundCard* card = options_.soundCard; card != nullptr) {
    soundCardCall_ = card->Join(
        [this](std::span<const int16_t> frame) {
          std::array<int16_t, kFrameSamples> silence{};
          const int16_t* samples = muted_ ? silence.data() : frame.data();
          module_->SendAudio(line_, samples, static_cast<int>(std::min(frame.size(), kFrameSamples) * 2), 0);
        },
        [this] { module_->ReleaseFrame(line_, 0); });
  }
  Event(line_, "connected");
  {
    std::scoped_lock lock(mutex_);
    state_ = State::Connected;
    connectedAt_ = Clock::now();
    StartThreadLocked();
  }
  changed_.notify_all();
}

void PhoneCall::OnDisconnected(int reason) {
  Event(line_, "ended: " + ReasonText(reason));
  bool connected;
  {
    std::scoped_lock lock(mutex_);
    connected = state_ == State::Connected;
    over_ = true;
    state_ = State::Ended;
  }
  changed_.notify_all();
  // The owner may free the call as soon as it hears: the notice is copied
  // out of it first.
  EndNotice ended = ended_;
  ended(connected);
}

void PhoneCall::OnAudioReceived(const short* samples, int byteCount, int) {
  std::span<const int16_t> frame(samples, static_cast<size_t>(std::max(byteCount, 0)) / 2);
  if (SoundCard* card = options_.soundCard; card != nullptr && soundCardCall_ >= 0) {
    card->Play(soundCardCall_, frame);  // released once played
    return;
  }
  {
    std::scoped_lock lock(filesMutex_);
    if (recorder_) recorder_->Write(frame);
  }
  module_->ReleaseFrame(line_, 0);  // played: the module may hand over the next
}

void PhoneCall::OnCallInfo(const CString& text) {
  std::string printable = PrintableText(text);  // it may name the peer as its DNS has it
  Event(line_, "info: " + printable);
  std::scoped_lock lock(mutex_);
  info_ = printable;
}

void PhoneCall::Answer(int code) {
  State expected = State::Ringing;
  state_.compare_exchange_strong(expected, code == 0 ? State::Answering : State::Refusing);
  module_->Answer(line_, code, 0, 0);
}

void PhoneCall::AnswerLater(int code, double delaySeconds) {
  std::scoped_lock lock(mutex_);
  laterAnswer_ = code;
  answerAt_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(delaySeconds));
  StartThreadLocked();
}

void PhoneCall::HangUp() { module_->HangUp(line_); }

bool PhoneCall::ToggleMute() {
  bool muted = !muted_;
  muted_ = muted;
  return muted;
}

std::string PhoneCall::Description() const {
  std::scoped_lock lock(mutex_);
  State state = state_;
  std::string text = std::string(StateText(state)) + (incoming_ ? ", incoming from " : ", outgoing to ") + peer_ +
                     ", " + Duration(Clock::now() - (state == State::Connected ? connectedAt_ : started_));
  if (muted_) text += ", muted";
  if (!info_.empty()) text += "; " + info_;
  return text;
}

void PhoneCall::Finish() {
  std::thread thread;
  {
    std::scoped_lock lock(mutex_);
    thread.swap(thread_);
  }
  if (thread.joinable()) thread.join();  // never this thread: the owner frees calls from one of its own
  if (SoundCard* card = options_.soundCard; card != nullptr && soundCardCall_ >= 0) {
    card->Leave(soundCardCall_.exchange(-1));
  }
  std::scoped_lock lock(filesMutex_);
  recorder_.reset();
  microphone_.reset();
}

void PhoneCall::StartThreadLocked() {
  if (threadStarted_ || over_) return;
  threadStarted_ = true;
  thread_ = std::thread([this] { Run(); });
}

void PhoneCall::Run() {
  std::unique_lock lock(mutex_);
  if (laterAnswer_) {
    if (changed_.wait_until(lock, answerAt_, [this] { return over_; })) return;
    lock.unlock();
    Answer(*laterAnswer_);  // the module may end the call from inside
    lock.lock();
  }
  changed_.wait(lock, [this] { return over_ || state_ == State::Connected; });
  if (over_) return;
  lock.unlock();
  Talk();
}

void PhoneCall::Talk() {
  std::optional<double> hangupAfter = options_.hangupAfterSeconds;
  Clock::time_point start = Clock::now();
  Clock::time_point next = start;
  std::array<int16_t, kFrameSamples> frame{};
  std::unique_lock lock(mutex_);
  while (!changed_.wait_until(lock, next, [this] { return over_; })) {
    lock.unlock();
    if (hangupAfter && Clock::now() - start >= std::chrono::duration<double>(*hangupAfter)) {
      Event(line_, "hanging up");
      module_->HangUp(line_);
      return;
    }
    if (soundCardCall_ < 0) {  // the sound card keeps its own pace
      frame.fill(0);
      if (microphone_) microphone_->Read(frame);  // time passes for the file while muted, too
      if (muted_) frame.fill(0);
      module_->SendAudio(line_, frame.data(), static_cast<int>(frame.size() * 2), 0);
    }
    // After a stall (the machine was busy, the process stopped) at most one
    // frame is sent late: a burst of the frames missed would only overrun
    // the far end's buffer.
    next = std::max(next + kFramePeriod, Clock::now() - kFramePeriod);
    lock.lock();
  }
}

void PhoneCall::OpenFiles() {
  std::unique_ptr<WavSink> recorder;
  std::unique_ptr<WavSource> microphone;
  if (!options_.recordFile.empty()) recorder = WavSink::Create(RecordingPath(options_.recordFile));
  if (!options_.playFile.empty()) microphone = WavSource::Open(options_.playFile);
  std::scoped_lock lock(filesMutex_);
  recorder_ = std::move(recorder);
  microphone_ = std::move(microphone);
}

}  // namespace nuvex
