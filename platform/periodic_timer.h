// A timer thread that calls a procedure at a fixed interval until stopped;
// the Linux stand-in for SetTimer/KillTimer without a window.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace talvenor {

class PeriodicTimer {
public:
  PeriodicTimer() = default;
  ~PeriodicTimer();
  PeriodicTimer(const PeriodicTimer&) = delete;
  PeriodicTimer& operator=(const PeriodicTimer&) = delete;

  // Starts calling `procedure` every `interval`; the first call comes one
  // interval after the start. Returns a non-zero id. Throws std::system_error
  // when the thread cannot be started.
  unsigned Start(std::chrono::milliseconds interval, std::function<void()> procedure);
  // Stops the timer and waits for a running call of the procedure to finish,
  // unless it is called from inside the procedure: that call then finishes
  // on its own and no call follows it.
  void Stop();

private:
  // One start's state, shared with its thread so that a thread left to
  // finish by itself never sees the next start's.
  struct Run {
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::function<void()> procedure;
  };
  static void Loop(const std::shared_ptr<Run>& run, std::chrono::milliseconds interval);

  mutable std::mutex mutex_;  // guards run_ and thread_
  std::shared_ptr<Run> run_;
  std::thread thread_;
};

}  // namespace talvenor
