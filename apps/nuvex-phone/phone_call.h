// One call as the phone keeps it: the connection object the module calls
// back, the call's own thread (the phone's answer when it answers by
// itself, then the microphone file at the pace of real time and the
// hang-up when its time comes), its files, and what `lines` shows of it.
//
// Lifetime: the module may call the object until OnDisconnected has
// returned, and the call's thread and the sound card use its line until
// Finish has returned. Whoever owns it frees it after both, once the line
// has been released.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "apps/nuvex-phone/call_options.h"
#include "apps/nuvex-phone/platform/wav_files.h"
#include "host/ccon.h"

class CCom;

namespace nuvex {

class PhoneCall final : public CCon {
public:
  enum class State { Calling, Ringing, Answering, Refusing, Connected, Ended };
  // Told once, as the last thing OnDisconnected does with the call.
  using EndNotice = std::function<void(bool connected)>;

  PhoneCall(CCom* module, const CallOptions& options, bool incoming, std::string peer, EndNotice ended);
  ~PhoneCall();

  void OnConnected(int, int) override;
  void OnDisconnected(int reason) override;
  void OnAudioSent() override {}
  void OnAudioReceived(const short* samples, int byteCount, int) override;
  void OnCallInfo(const CString& text) override;

  CCom* Module() const { return module_; }
  void SetLine(int line) { line_ = line; }
  int Line() const { return line_; }
  State CurrentState() const { return state_; }
  // Code 0 answers, any other refuses. Now, or from the call's own thread
  // after `delaySeconds` (never from inside the offer).
  void Answer(int code);
  void AnswerLater(int code, double delaySeconds);
  void HangUp();
  // The far end hears silence from this phone, or hears it again; true when muted now.
  bool ToggleMute();
  // "connected, incoming from PEER, 1:05[, muted][; INFO]".
  std::string Description() const;
  // Ends the call's thread, leaves the sound card and closes the files;
  // after OnDisconnected, before the line is released.
  void Finish();

private:
  using Clock = std::chrono::steady_clock;

  void StartThreadLocked();
  void Run();
  void Talk();
  void OpenFiles();

  CCom* const module_;
  const CallOptions& options_;
  const bool incoming_;
  const std::string peer_;
  const EndNotice ended_;
  const Clock::time_point started_ = Clock::now();
  std::atomic<int> line_{-1};
  std::atomic<State> state_;
  std::atomic<bool> muted_{false};
  std::atomic<int> soundCardCall_{-1};

  mutable std::mutex mutex_;  // guards what follows
  std::condition_variable changed_;
  bool over_ = false;  // OnDisconnected came
  Clock::time_point connectedAt_;
  std::optional<int> laterAnswer_;
  Clock::time_point answerAt_;
  bool filesOpened_ = false;
  bool threadStarted_ = false;
  std::thread thread_;
  std::string info_;

  std::mutex filesMutex_;
  std::unique_ptr<WavSink> recorder_;
  std::unique_ptr<WavSource> microphone_;
};

}  // namespace nuvex
