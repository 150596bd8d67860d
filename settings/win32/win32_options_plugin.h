// The dialogs plugin over the Windows dialog manager: runs the sheet and the
// credentials dialog, closes the sheet from any thread, shows the module's
// messages on the sheet's thread.
#pragma once

#include <windows.h>

#include <deque>
#include <mutex>
#include <string>

#include "settings/options_pages.h"

namespace talvenor::view {

class Win32OptionsPlugin final : public OptionsPlugin {
public:
  int RunSheet(OptionsPages& pages, std::string& why) override;
  void CloseSheet() override;
  bool AskCredentials(CredentialsPage& page) override;
  bool ShowMessage(const std::string& text, int icon) override;

private:
  struct PostedMessage {
    std::string text;
    int icon = 0;
  };

  // On the sheet's thread.
  void SheetCreated(HWND sheet);
  void SheetDestroyed();
  void ShowPostedMessages();

  std::mutex mutex_;
  DWORD sheetThread_ = 0;        // the thread running the sheet; 0 when none runs
  HWND sheet_ = nullptr;         // the sheet's window once it exists
  bool closeRequested_ = false;  // a close that came before the sheet's window
  std::deque<PostedMessage> posted_;  // handed over by other threads, not yet shown
};

}  // namespace talvenor::view
