#include "platform/periodic_timer.h"

#include <atomic>

namespace talvenor {

namespace {
std::atomic<unsigned> nextTimerId{1};
}

PeriodicTimer::~PeriodicTimer() { Stop(); }

unsigned PeriodicTimer::Start(std::chrono::milliseconds interval, std::function<void()> procedure) {
  Stop();
  procedure_ = std::move(procedure);
  {
    std::scoped_lock lock(mutex_);
    stopping_ = false;
  }
  thread_ = std::thread([this, interval] { Run(interval); });
  return nextTimerId++;
}

void PeriodicTimer::Stop() {
  {
    std::scoped_lock lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool PeriodicTimer::IsRunning() const {
  std::scoped_lock lock(mutex_);
  return thread_.joinable() && !stopping_;
}

void PeriodicTimer::Run(std::chrono::milliseconds interval) {
  auto due = std::chrono::steady_clock::now() + interval;
  std::unique_lock lock(mutex_);
  for (;;) {
    if (wake_.wait_until(lock, due, [this] { return stopping_; })) return;
    lock.unlock();
    procedure_();
    lock.lock();
    // A late call does not bunch up the next ones, as with a window timer.
    due = std::max(due + interval, std::chrono::steady_clock::now());
  }
}

}  // namespace talvenor
