#include "apps/nuvex-phone/options_dialog.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

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
  bool requested = false;  // `options` waits for the first thread
  bool showing = false;    // ShowOptions runs on the first thread
  bool closing = false;    // the phone is quitting: no more sheets
};

Dialog& State() {
  static Dialog* dialog = new Dialog;
  return *dialog;
}

}  // namespace

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
  for (;;) {
    dialog.changed.wait(lock, [&] { return dialog.requested || dialog.closing; });
    if (dialog.closing) return;
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
