// A timer that calls a procedure at a fixed interval until stopped. On Linux
// a thread of its own makes the calls; on Windows a thread timer without a
// window (SetTimer) makes them on the thread that started it, whenever that
// thread dispatches its messages.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace talvenor {

class PeriodicTimer {
public:
  PeriodicTimer();
  ~PeriodicTimer();
  PeriodicTimer(const PeriodicTimer&) = delete;
  PeriodicTimer& operator=(const PeriodicTimer&) = delete;

  // Starts calling `procedure` every `interval`; the first call comes one
  // interval after the start. Returns a non-zero id. Throws std::system_error
  // when the timer cannot be started.
  unsigned Start(std::chrono::milliseconds interval, std::function<void()> procedure);
  // Stops the timer and waits for a running call of the procedure to finish,
  // unless it is called from inside the procedure: that call then finishes
  // on its own and no call follows it.
  void Stop();

  // Makes the calls of this thread's timers that are due now. A thread
  // that started a timer and then waits for the timer's work without
  // dispatching its messages (a shutdown waiting for the last requests the
  // timer sends) calls it in its wait. Nothing to do on Linux, where a
  // timer has a thread of its own.
  static void RunDueCalls();

private:
  struct State;  // the system's timer and the running start
  std::unique_ptr<State> state_;
};

}  // namespace talvenor
