#include "apps/nuvex-phone/options_dialog.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "apps/nuvex-phone/module_session.h"
#include "apps/nuvex-phone/phone_output.h"
#include "apps/nuvex-phone/platform/thread_messages.h"
#include "host/ccom.h"

namespace nuvex {

namespace {

// How long a closing call waits for the sheet before it tries again.
constexpr std::chrono::seconds kCloseRetry{2};
constexpr int kCloseAttempts = 5;
// How often the first thread, where it handles the system's messages while
// it waits, looks whether the sheet was asked for.
constexpr int kMessageWaitMs = 50;

// Work another thread hands to the first thread, and waits for.
struct FirstThreadTask {
  const std::function<void()>* work;
  bool done = false;
};

struct Dialog {
  std::mutex mutex;
  std::condition_variable changed;
  bool requested = false;  // `options` waits for the first thread
  bool showing = false;    // ShowOptions runs on the first thread
  bool closing = false;    // the phone is quitting: no more sheets
  bool serving = false;    // the first thread runs ServeOptionsDialog
  std::deque<FirstThreadTask*> tasks;
};

Dialog& State() {
  static Dialog* dialog = new Dialog;
  return *dialog;
}

// Until the sheet or a task is asked for or the phone closes; the module's
// timer ticks through the first thread's messages where the system has them.
void WaitForWork(Dialog& dialog, std::unique_lock<std::mutex>& lock) {
  auto asked = [&] { return dialog.requested || dialog.closing || !dialog.tasks.empty(); };
  if (!ThreadTakesMessages()) {
    dialog.changed.wait(lock, asked);
    return;
  }
  while (!asked()) {
    lock.unlock();
    HandleThreadMessages(kMessageWaitMs);
    lock.lock();
  }
}

void RunTasks(Dialog& dialog, std::unique_lock<std::mutex>& lock) {
  while (!dialog.tasks.empty()) {
    FirstThreadTask* task = dialog.tasks.front();
    dialog.tasks.pop_front();
    lock.unlock();
    (*task->work)();
    lock.lock();
    task->done = true;
    dialog.changed.notify_all();
  }
}

}  // namespace

void RunOnFirstThread(const std::function<void()>& work) {
  Dialog& dialog = State();
  std::unique_lock lock(dialog.mutex);
  if (!dialog.serving) {
    lock.unlock();
    work();
    return;
  }
  FirstThreadTask task{&work};
  dialog.tasks.push_back(&task);
  dialog.changed.notify_all();
  dialog.changed.wait(lock, [&] { return task.done; });
}

void OpenOptionsDialog() {
  Dialog& dialog = State();
  std::scoped_lock lock(dialog.mutex);
  if (Module() == nullptr) {
    Reply("the module is restarting: try again in a moment");
  } else if (dialog.requested || dialog.showing) {
    Reply("the SIP Options sheet is open already");
  } else {
    dialog.requested = true;
    dialog.changed.notify_all();
  }
}

bool OptionsDialogOpen() {
  std::scoped_lock lock(State().mutex);
  return State().requested || State().showing;
}

void ServeOptionsDialog() {
  Dialog& dialog = State();
  std::unique_lock lock(dialog.mutex);
  dialog.serving = true;
  for (;;) {
    WaitForWork(dialog, lock);
    RunTasks(dialog, lock);
    if (dialog.closing) {
      dialog.serving = false;  // tasks from now on run where they are asked for
      return;
    }
    if (!dialog.requested) continue;
    dialog.requested = false;
    CCom* module = Module();
    if (module == nullptr) continue;
    dialog.showing = true;
    lock.unlock();
    bool taken = module->ShowOptions() != 0;
    lock.lock();
    dialog.showing = false;
    dialog.changed.notify_all();
    if (!dialog.closing) Event(-1, taken ? "SIP Options: taken" : "SIP Options: closed without OK");
  }
}

void CloseOptionsDialog() {
  Dialog& dialog = State();
  std::unique_lock lock(dialog.mutex);
  dialog.closing = true;
  dialog.changed.notify_all();
  // A ShowOptions call made while the sheet is open closes it, and both
  // calls return. One made just after the sheet closed by itself would
  // open another here: it is made only while the sheet shows.
  for (int attempt = 0; attempt < kCloseAttempts && dialog.showing; ++attempt) {
    if (CCom* module = Module(); module != nullptr) {
      lock.unlock();
      module->ShowOptions();
      lock.lock();
    }
    dialog.changed.wait_for(lock, kCloseRetry, [&] { return !dialog.showing; });
  }
}

}  // namespace nuvex
