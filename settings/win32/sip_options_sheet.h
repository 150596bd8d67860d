// The "SIP Options" sheet: the Gateways, SIP Address, SIP Register and VoIP
// pages on tabs, with OK and Cancel and no Apply button. Leaving a page
// stores it; a page the logic refuses stays current. OK stores the current
// page, Cancel does not.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "settings/options_pages.h"

namespace talvenor::view {

// What the sheet tells its owner while it runs, on the sheet's thread.
struct SheetEvents {
  // The sheet's window exists; it may be closed or posted to from now on.
  std::function<void(HWND)> created;
  // PostShowMessages arrived: messages wait to be shown.
  std::function<void()> messagesPosted;
  // The sheet's window is going; nothing may be posted to it any more.
  std::function<void()> destroyed;
};

class CSIPOptionsSheet final {
public:
  CSIPOptionsSheet(OptionsPages& pages, SheetEvents events);

  // Modal on the caller's thread: 1 for OK, 0 for Cancel, -1 when the sheet
  // could not be made, with the reason in `why`.
  int Run(std::string& why);

  // From any thread: has the sheet call messagesPosted on its own thread.
  static bool PostShowMessages(HWND sheet);
  // From any thread: the sheet closes as Cancel would; returns at once.
  static void PostCancel(HWND sheet);

private:
  static int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM lParam);
  static LRESULT CALLBACK SheetWindowProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam);
  void Created(HWND sheet);

  OptionsPages& pages_;
  SheetEvents events_;
  WNDPROC sheetProc_ = nullptr;  // the property sheet's own window procedure
  bool created_ = false;
};

}  // namespace talvenor::view
