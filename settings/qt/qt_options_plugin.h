// The dialogs plugin over Qt Widgets: runs the sheet and the credentials
// dialog, closes the sheet from any thread, shows the module's messages.
#pragma once

#include <mutex>

#include "settings/options_pages.h"

class QDialog;

namespace talvenor::view {

class QtOptionsPlugin final : public OptionsPlugin {
public:
  int RunSheet(OptionsPages& pages, std::string& why) override;
  void CloseSheet() override;
  bool AskCredentials(CredentialsPage& page) override;
  bool ShowMessage(const std::string& text, int icon) override;

private:
  // On the application's thread.
  int RunSheetHere(OptionsPages& pages);
  bool AskCredentialsHere(CredentialsPage& page);

  std::mutex sheetMutex_;
  QDialog* sheet_ = nullptr;  // the open sheet, for CloseSheet
  bool closeRequested_ = false;  // a close that came before the sheet
};

}  // namespace talvenor::view
