#include "calls/line_threads.h"

#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "calls/call_line.h"

namespace talvenor {

namespace {

// Every line thread stays joinable until someone joins it: a thread that
// has said it is done still runs a few instructions of the module's code,
// and a host may unload the module as soon as a shutdown returns.
struct LineThread {
  std::thread thread;
  bool done = false;
};

struct Running {
  std::mutex mutex;
  std::condition_variable changed;
  std::list<LineThread> threads;  // stable entries: each thread marks its own
};

// Set on a line thread: one that waits for the others (a host that shuts
// the module down from a callback) cannot wait for itself.
thread_local const LineThread* ownEntry = nullptr;

Running& State() {
  static Running* running = new Running;  // outlives the threads it counts
  return *running;
}

// Under the state's mutex: takes the ended threads out, except the
// caller's own, for joining outside it.
std::vector<std::thread> TakeEnded() {
  std::vector<std::thread> ended;
  std::erase_if(State().threads, [&ended](LineThread& entry) {
    if (!entry.done || &entry == ownEntry) return false;
    ended.push_back(std::move(entry.thread));
    return true;
  });
  return ended;
}

void JoinAll(std::vector<std::thread>& ended) {
  for (std::thread& thread : ended) thread.join();
}

}  // namespace

bool StartLineThread(std::shared_ptr<CallLine> line, std::function<void(CallLine& line)> work) {
  std::vector<std::thread> ended;
  bool started = false;
  {
    std::scoped_lock lock(State().mutex);
    ended = TakeEnded();
    LineThread& entry = State().threads.emplace_back();
    try {
      entry.thread = std::thread([&entry, line = std::move(line), work = std::move(work)]() mutable {
        ownEntry = &entry;
        try {
          work(*line);
        } catch (...) {
          // Nothing escapes a line's thread; the call ends the way it stands.
        }
        line.reset();  // the line may go here, before the thread says it is done
        std::scoped_lock done(State().mutex);
        entry.done = true;
        State().changed.notify_all();
      });
      started = true;
    } catch (...) {
      State().threads.pop_back();
    }
  }
  JoinAll(ended);
  return started;
}

bool OnLineThread() { return ownEntry != nullptr; }

bool WaitForLineThreads(std::chrono::milliseconds limit) {
  std::vector<std::thread> ended;
  bool allEnded;
  {
    std::unique_lock lock(State().mutex);
    allEnded = State().changed.wait_for(lock, limit, [] {
      for (const LineThread& entry : State().threads) {
        if (!entry.done && &entry != ownEntry) return false;
      }
      return true;
    });
    ended = TakeEnded();
  }
  JoinAll(ended);
  return allEnded;
}

}  // namespace talvenor
