#include "platform/periodic_timer.h"

#include <atomic>

namespace talvenor {

namespace {
std::atomic<unsigned> nextTimerId{1};
}

PeriodicTimer::~PeriodicTimer() { Stop(); }

unsigned PeriodicTimer::Start(std::chrono::milliseconds interval, std::function<void()> procedure) {
  Stop();
  auto run = std::make_shared<Run>();
  run->procedure = std::move(procedure);
  std::thread thread([run, interval] { Loop(run, interval); });
  std::scoped_lock lock(mutex_);
  run_ = std::move(run);
  thread_ = std::move(thread);
  return nextTimerId++;
}

void PeriodicTimer::Stop() {
  std::shared_ptr<Run> run;
  std::thread thread;
  {
    std::scoped_lock lock(mutex_);
    run = std::move(run_);
    thread = std::move(thread_);
  }
  if (run) {
    {
      std::scoped_lock lock(run->mutex);
      run->stopping = true;
    }
    run->wake.notify_all();
  }
  if (!thread.joinable()) return;
  // A thread cannot wait for itself: stopped from inside the procedure, it
  // ends after this call returns.
  if (thread.get_id() == std::this_thread::get_id()) {
    thread.detach();
  } else {
    thread.join();
  }
}

void PeriodicTimer::Loop(const std::shared_ptr<Run>& run, std::chrono::milliseconds interval) {
  auto due = std::chrono::steady_clock::now() + interval;
  std::unique_lock lock(run->mutex);
  for (;;) {
    if (run->wake.wait_until(lock, due, [&run] { return run->stopping; })) return;
    lock.unlock();
    run->procedure();
    lock.lock();
    // A late call does not bunch up the next ones, as with a window timer.
    due = std::max(due + interval, std::chrono::steady_clock::now());
  }
}

}  // namespace talvenor
