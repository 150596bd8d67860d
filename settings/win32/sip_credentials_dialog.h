// The "SIP Credentials" dialog: the user id and password/PIN a gateway
// account registers with. "Register" keeps the dialog open on a refused field.
#pragma once

#include <windows.h>

#include "settings/options_pages.h"

namespace talvenor::view {

class CSIPCredentials final {
public:
  explicit CSIPCredentials(CredentialsPage& page) : page_(page) {}

  // Modal over `owner` (may be null); true when closed with "Register",
  // false for Cancel or when the dialog could not be made.
  bool Run(HWND owner);

private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Load(HWND window);
  // "Register": stores the fields; the dialog ends only when they are taken.
  void Confirm(HWND window);

  CredentialsPage& page_;
};

}  // namespace talvenor::view
