#include "calls/line_threads.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "calls/call_line.h"

namespace talvenor {

namespace {

struct Running {
  std::mutex mutex;
  std::condition_variable idle;
  int count = 0;
};

Running& State() {
  static Running* running = new Running;  // outlives the threads it counts
  return *running;
}

void Count(int change) {
  std::scoped_lock lock(State().mutex);
  State().count += change;
  if (State().count == 0) State().idle.notify_all();
}

}  // namespace

bool StartLineThread(std::shared_ptr<CallLine> line, std::function<void(CallLine& line)> work) {
  Count(+1);
  try {
    std::thread([line = std::move(line), work = std::move(work)]() mutable {
      try {
        work(*line);
      } catch (...) {
        // Nothing escapes a line's thread; the call ends the way it stands.
      }
      line.reset();  // the line may go here, before the count says the thread is done
      Count(-1);
    }).detach();
    return true;
  } catch (...) {
    Count(-1);
    return false;
  }
}

bool WaitForLineThreads(std::chrono::milliseconds limit) {
  std::unique_lock lock(State().mutex);
  return State().idle.wait_for(lock, limit, [] { return State().count == 0; });
}

}  // namespace talvenor
