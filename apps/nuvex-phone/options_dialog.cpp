#include "apps/nuvex-phone/options_dialog.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "apps/nuvex-phone/module_session.h"
#include "apps/nuvex-phone/phone_output.h"
#include "host/ccom.h"

namespace nuvex {

namespace {

// How long a closing call waits for the sheet before it tries again.
constexpr std::chrono::seconds kCloseRetry{2};
constexpr int kCloseAttempts = 5;

struct Dialog {
  std::mutex mutex;
  std::condition_variable changed;
  int showing = 0;  // ShowOptions calls not yet returned
  bool closing = false;
  std::vector<std::thread> threads;
};

Dialog& State() {
  static Dialog* dialog = new Dialog;
  return *dialog;
}

// One ShowOptions call on a thread of its own; counted before it starts.
void StartShowing(CCom* module) {
  Dialog& dialog = State();
  ++dialog.showing;
  dialog.threads.emplace_back([module] {
    bool taken = module->ShowOptions() != 0;
    std::scoped_lock lock(State().mutex);
    if (!State().closing) Event(-1, taken ? "SIP Options: taken" : "SIP Options: closed without OK");
    --State().showing;
    State().changed.notify_all();
  });
}

}  // namespace

void OpenOptionsDialog() {
  CCom* module = Module();
  Dialog& dialog = State();
  std::scoped_lock lock(dialog.mutex);
  if (module == nullptr) {
    Reply("the module is restarting: try again in a moment");
  } else if (dialog.showing > 0) {
    Reply("the SIP Options sheet is open already");
  } else {
    // The threads of sheets closed before have counted themselves out and
    // need the lock no more.
    for (std::thread& thread : dialog.threads) thread.join();
    dialog.threads.clear();
    StartShowing(module);
  }
}

bool OptionsDialogOpen() {
  std::scoped_lock lock(State().mutex);
  return State().showing > 0;
}

void CloseOptionsDialog() {
  Dialog& dialog = State();
  std::unique_lock lock(dialog.mutex);
  dialog.closing = true;
  // A ShowOptions call made while the sheet is open closes it, and both
  // calls return. The sheet may close by itself just before the call is
  // made, which then opens a new one: the next call closes that.
  for (int attempt = 0; attempt < kCloseAttempts && dialog.showing > 0; ++attempt) {
    if (CCom* module = Module(); module != nullptr) StartShowing(module);
    dialog.changed.wait_for(lock, kCloseRetry, [&] { return dialog.showing == 0; });
  }
  std::vector<std::thread> threads;
  threads.swap(dialog.threads);
  bool closed = dialog.showing == 0;
  lock.unlock();
  for (std::thread& thread : threads) {
    if (closed) {
      thread.join();
    } else {
      thread.detach();  // a sheet that would not close: the process ends all the same
    }
  }
}

}  // namespace nuvex
