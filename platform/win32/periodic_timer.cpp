#include "platform/periodic_timer.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/shared_library.h"

namespace talvenor {

namespace {

std::atomic<unsigned> nextTimerId{1};

// One start of a timer. The system calls TimerProcedure on the starting
// thread; KillTimer works only there, so a timer stopped from another thread
// is only marked stopped and removes itself at its next tick.
struct Run {
  std::function<void()> procedure;
  std::chrono::milliseconds interval{0};
  DWORD ownerThread = 0;
  UINT_PTR systemId = 0;
  bool stopped = false;   // guarded by Registry::mutex
  bool calling = false;   // guarded by Registry::mutex
  std::chrono::steady_clock::time_point lastCall;  // guarded by Registry::mutex
};

// The system's timers by starting thread and timer id; a timer procedure
// gets no other argument that could lead it to its run.
struct Registry {
  std::mutex mutex;
  std::condition_variable callEnded;
  std::map<std::pair<DWORD, UINT_PTR>, std::shared_ptr<Run>> runs;
};

Registry& Timers() {
  static Registry* registry = new Registry;  // a tick may come while the process exits
  return *registry;
}

// Claims the run for one call (under the registry's lock) when no call is
// in progress and the last one is at least `spacing` ago. A procedure that
// pumps messages itself would otherwise get the next tick inside this one.
bool ClaimCall(Run& run, std::chrono::steady_clock::duration spacing) {
  auto now = std::chrono::steady_clock::now();
  if (run.stopped || run.calling || now - run.lastCall < spacing) return false;
  run.calling = true;
  run.lastCall = now;
  return true;
}

void Call(Run& run) {
  // An exception must not pass through the system's dispatch of the tick.
  try {
    run.procedure();
  } catch (...) {
  }
  {
    std::scoped_lock lock(Timers().mutex);
    run.calling = false;
  }
  Timers().callEnded.notify_all();
}

void CALLBACK TimerProcedure(HWND, UINT, UINT_PTR systemId, DWORD) {
  Registry& timers = Timers();
  std::shared_ptr<Run> run;
  {
    std::scoped_lock lock(timers.mutex);
    auto found = timers.runs.find({GetCurrentThreadId(), systemId});
    if (found == timers.runs.end()) return;
    run = found->second;
    if (run->stopped) {
      // Stopped from another thread: this thread can kill it now.
      KillTimer(nullptr, systemId);
      timers.runs.erase(found);
      return;
    }
    // The system's ticks keep their rhythm; one that comes right after a
    // call made by RunDueCalls is skipped, so calls do not bunch up.
    if (!ClaimCall(*run, run->interval / 2)) return;
  }
  Call(*run);
}

}  // namespace

struct PeriodicTimer::State {
  std::mutex mutex;  // guards run
  std::shared_ptr<Run> run;
};

PeriodicTimer::PeriodicTimer() : state_(std::make_unique<State>()) {}

PeriodicTimer::~PeriodicTimer() { Stop(); }

unsigned PeriodicTimer::Start(std::chrono::milliseconds interval, std::function<void()> procedure) {
  Stop();
  auto run = std::make_shared<Run>();
  run->procedure = std::move(procedure);
  run->interval = interval;
  run->ownerThread = GetCurrentThreadId();
  run->lastCall = std::chrono::steady_clock::now();
  UINT milliseconds = static_cast<UINT>(std::max<std::chrono::milliseconds::rep>(interval.count(), USER_TIMER_MINIMUM));
  {
    // Registered before this thread can dispatch the first tick.
    std::scoped_lock lock(Timers().mutex);
    run->systemId = SetTimer(nullptr, 0, milliseconds, TimerProcedure);
    if (run->systemId == 0) {
      throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "SetTimer");
    }
    Timers().runs[{run->ownerThread, run->systemId}] = run;
  }
  std::scoped_lock lock(state_->mutex);
  state_->run = std::move(run);
  return nextTimerId++;
}

void PeriodicTimer::RunDueCalls() {
  std::vector<std::shared_ptr<Run>> due;
  {
    std::scoped_lock lock(Timers().mutex);
    for (auto& [key, run] : Timers().runs) {
      if (key.first == GetCurrentThreadId() && ClaimCall(*run, run->interval)) due.push_back(run);
    }
  }
  for (const std::shared_ptr<Run>& run : due) Call(*run);
}

void PeriodicTimer::Stop() {
  std::shared_ptr<Run> run;
  {
    std::scoped_lock lock(state_->mutex);
    run = std::move(state_->run);
  }
  if (!run) return;
  Registry& timers = Timers();
  std::unique_lock lock(timers.mutex);
  run->stopped = true;
  if (GetCurrentThreadId() == run->ownerThread) {
    // The starting thread, perhaps inside the procedure: that call finishes
    // on its own, and no tick follows the KillTimer.
    KillTimer(nullptr, run->systemId);
    timers.runs.erase({run->ownerThread, run->systemId});
    return;
  }
  // Another thread cannot kill the starting thread's timer. The run stays
  // registered, marked stopped: its next tick does nothing but remove it.
  // A call in progress on the starting thread is waited for. That tick
  // comes into this library's code, so the library stays loaded for it.
  timers.callEnded.wait(lock, [&run] { return !run->calling; });
  KeepLibraryLoaded();
}

}  // namespace talvenor
