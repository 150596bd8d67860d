#include "platform/periodic_timer.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace talvenor {

namespace {

std::atomic<unsigned> nextTimerId{1};

// One start's state, shared with its thread so that a thread left to
// finish by itself never sees the next start's.
struct Run {
  std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;
  std::function<void()> procedure;
};

void Loop(const std::shared_ptr<Run>& run, std::chrono::milliseconds interval) {
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

}  // namespace

struct PeriodicTimer::State {
  std::mutex mutex;  // guards run and thread
  std::shared_ptr<Run> run;
  std::thread thread;
};

PeriodicTimer::PeriodicTimer() : state_(std::make_unique<State>()) {}

PeriodicTimer::~PeriodicTimer() { Stop(); }

unsigned PeriodicTimer::Start(std::chrono::milliseconds interval, std::function<void()> procedure) {
  Stop();
  auto run = std::make_shared<Run>();
  run->procedure = std::move(procedure);
  std::thread thread([run, interval] { Loop(run, interval); });
  std::scoped_lock lock(state_->mutex);
  state_->run = std::move(run);
  state_->thread = std::move(thread);
  return nextTimerId++;
}

void PeriodicTimer::RunDueCalls() {}

void PeriodicTimer::Stop() {
  std::shared_ptr<Run> run;
  std::thread thread;
  {
    std::scoped_lock lock(state_->mutex);
    run = std::move(state_->run);
    thread = std::move(state_->thread);
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

}  // namespace talvenor
