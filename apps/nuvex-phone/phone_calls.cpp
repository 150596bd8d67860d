#include "apps/nuvex-phone/phone_calls.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "host/ccom.h"
#include "host/ccon.h"

namespace nuvex {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kFramePeriod = std::chrono::milliseconds(40);  // 320 samples at 8000 per second

std::mutex printMutex;

void Print(const std::string& text) {
  std::scoped_lock lock(printMutex);
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

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

class PhoneCall;

// A thread of the phone's own (an answer, a call's talk) and whether it is done.
struct PhoneThread {
  std::thread thread;
  std::shared_ptr<std::atomic<bool>> done;
};

struct Calls {
  std::mutex mutex;
  std::condition_variable changed;
  CCom* module = nullptr;
  CallOptions options;
  std::vector<std::unique_ptr<PhoneCall>> calls;  // kept to the end: a line may still call them
  std::vector<PhoneThread> threads;
  bool stopping = false;
  bool firstEnded = false;
  bool firstConnected = false;
};

Calls& State() {
  static Calls* state = new Calls;
  return *state;
}

// Starts a thread of the phone's own; the caller holds State().mutex. The
// ones already done are joined first: a phone that takes call after call
// keeps no dead thread (and its stack) behind.
void StartThread(std::function<void()> body) {
  std::vector<PhoneThread>& threads = State().threads;
  std::erase_if(threads, [](PhoneThread& finished) {
    if (!finished.done->load()) return false;
    finished.thread.join();
    return true;
  });
  auto done = std::make_shared<std::atomic<bool>>(false);
  threads.push_back({std::thread([body = std::move(body), done] {
                       body();
                       done->store(true);
                     }),
                     done});
}

// Sleeps until the deadline or until the phone stops; true at the deadline.
bool SleepUntil(Clock::time_point deadline) {
  std::unique_lock lock(State().mutex);
  return !State().changed.wait_until(lock, deadline, [] { return State().stopping; });
}

class PhoneCall final : public CCon {
public:
  explicit PhoneCall(bool first) : first_(first) {}

  void SetLine(int line) {
    line_ = line;
    if (ended_) Release();  // the call ended before the phone knew its line
  }

  void OnConnected(int, int) override {
    if (connected_.exchange(true)) return;
    state_ = "connected";
    Print("connected");
    if (nuvex::SoundCard* card = Card(); card != nullptr) {
      soundCardCall_ = card->Join(
          [this](std::span<const int16_t> frame) {
            State().module->SendAudio(line_, frame.data(), static_cast<int>(frame.size() * 2), 0);
          },
          [this] { State().module->ReleaseFrame(line_, 0); });
    }
    std::scoped_lock lock(State().mutex);
    StartThread([this] { Talk(); });
  }

  void OnDisconnected(int reason) override {
    Print("ended: " + ReasonText(reason));
    ended_ = true;
    state_ = "ended";
    if (nuvex::SoundCard* card = Card(); card != nullptr && soundCardCall_ >= 0) card->Leave(soundCardCall_);
    if (line_ >= 0) Release();
    std::scoped_lock lock(State().mutex);
    if (first_) {
      State().firstEnded = true;
      State().firstConnected = connected_;
    }
    State().changed.notify_all();
  }

  void OnAudioSent() override {}

  void OnAudioReceived(const short* samples, int byteCount, int) override {
    std::span<const int16_t> frame(samples, static_cast<size_t>(std::max(byteCount, 0)) / 2);
    if (nuvex::SoundCard* card = Card(); card != nullptr && soundCardCall_ >= 0) {
      card->Play(soundCardCall_, frame);  // released once played
      return;
    }
    {
      std::scoped_lock lock(recorderMutex_);
      if (recorder_) recorder_->Write(frame);
    }
    State().module->ReleaseFrame(line_, 0);  // played: the module may hand over the next
  }

  void OnCallInfo(const CString& text) override {
    Print("info: " + text);
    std::scoped_lock lock(textMutex_);
    info_ = text;
  }

  int Line() const { return line_; }
  bool Ended() const { return ended_; }
  std::string Status() const { return state_.load(); }
  void SetState(const char* state) { state_ = state; }
  std::string Info() {
    std::scoped_lock lock(textMutex_);
    return info_;
  }

  // Hangs up a call still going, as the phone closes.
  void End() {
    if (!ended_ && line_ >= 0) State().module->HangUp(line_);
  }
  // Completes the recording's file.
  void CloseFiles() {
    std::scoped_lock lock(recorderMutex_);
    recorder_.reset();
  }

  void Prepare(const CallOptions& options) {
    if (!options.recordFile.empty()) recorder_ = WavSink::Create(options.recordFile);
    if (!options.playFile.empty()) microphone_ = WavSource::Open(options.playFile);
  }

private:
  void Release() {
    if (!released_.exchange(true)) State().module->ReleaseLine(line_, 0);
  }

  nuvex::SoundCard* Card() const { return State().options.soundCard; }

  // The microphone file at the pace of real time (the sound card keeps its
  // own), and the hang-up when its time comes.
  void Talk() {
    std::optional<double> hangupAfter = State().options.hangupAfterSeconds;
    Clock::time_point start = Clock::now();
    Clock::time_point next = start;
    std::array<int16_t, 320> frame{};
    while (!ended_ && SleepUntil(next)) {
      if (hangupAfter && Clock::now() - start >= std::chrono::duration<double>(*hangupAfter)) {
        Print("hanging up");
        State().module->HangUp(line_);
        return;
      }
      if (soundCardCall_ < 0) {
        if (microphone_) microphone_->Read(frame);
        State().module->SendAudio(line_, frame.data(), static_cast<int>(frame.size() * 2), 0);
      }
      next += kFramePeriod;
    }
  }

  const bool first_;
  std::atomic<const char*> state_{"calling"};
  std::mutex textMutex_;
  std::string info_;
  std::atomic<int> line_{-1};
  std::atomic<bool> connected_{false};
  std::atomic<bool> ended_{false};
  std::atomic<bool> released_{false};
  std::atomic<int> soundCardCall_{-1};
  std::mutex recorderMutex_;
  std::unique_ptr<WavSink> recorder_;
  std::unique_ptr<WavSource> microphone_;
};

PhoneCall* NewCall() {
  std::scoped_lock lock(State().mutex);
  auto call = std::make_unique<PhoneCall>(State().calls.empty());
  call->Prepare(State().options);
  State().calls.push_back(std::move(call));
  return State().calls.back().get();
}

}  // namespace

void StartCalls(CCom* module, CallOptions options) {
  std::scoped_lock lock(State().mutex);
  State().module = module;
  State().options = std::move(options);
}

void RestartCalls(CCom* module) {
  std::scoped_lock lock(State().mutex);
  State().module = module;
}

bool PlaceCall(const std::string& target) {
  PhoneCall* call = NewCall();
  Print("calling " + target);
  int line = State().module->PlaceCall(call, 0, target, "", "", "");
  if (line < 0) {
    Print("no line free");
    call->OnDisconnected(6);
    return false;
  }
  call->SetLine(line);
  return true;
}

CCon* OfferedCall(int line, const std::string& caller, const std::string& displayName) {
  Print("incoming call: " + caller + (displayName.empty() ? "" : " \"" + displayName + "\""));
  Print("ringing");
  PhoneCall* call = NewCall();
  call->SetState("ringing");
  call->SetLine(line);
  std::scoped_lock lock(State().mutex);
  if (std::optional<int> reason = State().options.rejectReason) {
    // From a thread of the phone's own, never from inside the offer.
    StartThread([line, reason] { State().module->Answer(line, *reason, 0, 0); });
  } else if (std::optional<double> delay = State().options.autoAnswerSeconds) {
    // Answered from a thread of the phone's own, never from inside the offer.
    auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*delay));
    StartThread([line, deadline] {
      if (SleepUntil(deadline)) State().module->Answer(line, 0, 0, 0);
    });
  }
  return call;
}

namespace {

// The live call on `line`, or the only live one in `state` when line is -1.
PhoneCall* FindCall(int line, const char* state) {
  std::scoped_lock lock(State().mutex);
  PhoneCall* found = nullptr;
  int matches = 0;
  for (auto& call : State().calls) {
    if (call->Ended() || call->Line() < 0) continue;
    if (line >= 0 ? call->Line() == line : (state == nullptr || call->Status() == state)) {
      found = call.get();
      ++matches;
    }
  }
  return matches == 1 ? found : nullptr;
}

}  // namespace

bool AnswerCall(int line) {
  PhoneCall* call = FindCall(line, "ringing");
  if (call == nullptr) {
    Print("no ringing call to answer");
    return false;
  }
  State().module->Answer(call->Line(), 0, 0, 0);
  return true;
}

bool RejectCall(int reason, int line) {
  PhoneCall* call = FindCall(line, "ringing");
  if (call == nullptr) {
    Print("no ringing call to reject");
    return false;
  }
  State().module->Answer(call->Line(), reason, 0, 0);
  return true;
}

bool HangUpCall(int line) {
  PhoneCall* call = FindCall(line, nullptr);
  if (call == nullptr) {
    Print(line >= 0 ? "no call on line " + std::to_string(line) : "no single call to hang up: name its line");
    return false;
  }
  State().module->HangUp(call->Line());
  return true;
}

std::vector<std::string> LiveCalls() {
  std::vector<PhoneCall*> calls;
  {
    std::scoped_lock lock(State().mutex);
    for (auto& call : State().calls) {
      if (!call->Ended() && call->Line() >= 0) calls.push_back(call.get());
    }
  }
  std::vector<std::string> texts;
  for (PhoneCall* call : calls) {
    texts.push_back(std::to_string(call->Line()) + " " + call->Status() + " " + call->Info());
  }
  return texts;
}

bool FirstCallEnded(bool& connected) {
  std::scoped_lock lock(State().mutex);
  connected = State().firstConnected;
  return State().firstEnded;
}

void StopCalls() {
  std::vector<PhoneThread> threads;
  std::vector<PhoneCall*> calls;
  {
    std::scoped_lock lock(State().mutex);
    State().stopping = true;
    State().changed.notify_all();
    threads.swap(State().threads);
    for (auto& call : State().calls) calls.push_back(call.get());
  }
  for (PhoneThread& running : threads) running.thread.join();
  for (PhoneCall* call : calls) call->End();
}

void CloseCallFiles() {
  std::scoped_lock lock(State().mutex);
  for (auto& call : State().calls) call->CloseFiles();
}

}  // namespace nuvex
