// A timer thread that calls a procedure at a fixed interval until stopped;
// the Linux stand-in for SetTimer/KillTimer without a window.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
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
  // interval after the start. Returns a non-zero id.
  unsigned Start(std::chrono::milliseconds interval, std::function<void()> procedure);
  // Stops the timer and waits for a running call of the procedure to finish.
  void Stop();
  bool IsRunning() const;

private:
  void Run(std::chrono::milliseconds interval);

  std::function<void()> procedure_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace talvenor
