#include "settings/win32/win32_options_plugin.h"

#include <utility>

#include "settings/win32/message_boxes.h"
#include "settings/win32/sip_credentials_dialog.h"
#include "settings/win32/sip_options_sheet.h"

namespace talvenor::view {

namespace {

constexpr int kNotShown = -1;

}  // namespace

int Win32OptionsPlugin::RunSheet(OptionsPages& pages, std::string& why) {
  {
    std::scoped_lock lock(mutex_);
    if (sheetThread_ != 0) {
      why = "the SIP Options sheet is open already";
      return kNotShown;
    }
    sheetThread_ = GetCurrentThreadId();
    sheet_ = nullptr;
  }
  int result = kNotShown;
  try {
    SheetEvents events{[this](HWND window) { SheetCreated(window); }, [this] { ShowPostedMessages(); },
                       [this] { SheetDestroyed(); }};
    CSIPOptionsSheet sheet(pages, std::move(events));
    result = sheet.Run(why);
  } catch (const std::exception& failure) {
    why = failure.what();
  }
  std::deque<PostedMessage> unshown;
  {
    std::scoped_lock lock(mutex_);
    sheetThread_ = 0;
    sheet_ = nullptr;
    closeRequested_ = false;
    unshown.swap(posted_);
  }
  for (const PostedMessage& message : unshown) ReportUnshownMessage(message.text, message.icon);
  return result;
}

void Win32OptionsPlugin::SheetCreated(HWND sheet) {
  std::scoped_lock lock(mutex_);
  sheet_ = sheet;
  // Asked to close while the sheet was still being made: it closes as soon
  // as its message loop runs.
  if (closeRequested_) CSIPOptionsSheet::PostCancel(sheet);
  closeRequested_ = false;
}

void Win32OptionsPlugin::SheetDestroyed() {
  std::scoped_lock lock(mutex_);
  sheet_ = nullptr;
}

void Win32OptionsPlugin::CloseSheet() {
  std::scoped_lock lock(mutex_);
  // The window is forgotten under the lock before it is destroyed.
  if (sheet_ != nullptr) {
    CSIPOptionsSheet::PostCancel(sheet_);
  } else {
    closeRequested_ = true;  // the sheet is on its way
  }
}

bool Win32OptionsPlugin::AskCredentials(CredentialsPage& page) {
  HWND owner = nullptr;
  {
    std::scoped_lock lock(mutex_);
    // Over the sheet (or whatever it shows now) when asked from its thread.
    if (sheetThread_ == GetCurrentThreadId()) owner = GetActiveWindow();
  }
  try {
    CSIPCredentials dialog(page);
    return dialog.Run(owner);
  } catch (const std::exception&) {
    return false;
  }
}

bool Win32OptionsPlugin::ShowMessage(const std::string& text, int icon) {
  try {
    std::unique_lock lock(mutex_);
    if (sheetThread_ == 0) return false;
    if (sheetThread_ == GetCurrentThreadId()) {
      lock.unlock();
      ShowMessageBox(GetActiveWindow(), text, icon);
      return true;
    }
    if (sheet_ == nullptr) return false;
    posted_.push_back({text, icon});
    if (!CSIPOptionsSheet::PostShowMessages(sheet_)) {
      posted_.pop_back();
      return false;
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void Win32OptionsPlugin::ShowPostedMessages() {
  for (;;) {
    PostedMessage message;
    {
      std::scoped_lock lock(mutex_);
      if (posted_.empty()) return;
      message = std::move(posted_.front());
      posted_.pop_front();
    }
    ShowMessageBox(GetActiveWindow(), message.text, message.icon);
  }
}

}  // namespace talvenor::view
