// Message boxes of the module shown by the plugin: icon 0 is an error,
// 1 a warning, 2 information.
#pragma once

#include <windows.h>

#include <string>

namespace talvenor::view {

// Modal over `owner` (may be null); returns when the user has closed it.
void ShowMessageBox(HWND owner, const std::string& text, int icon);
// A message that was handed to the sheet's thread but never shown there,
// because the sheet went first: written on standard error.
void ReportUnshownMessage(const std::string& text, int icon);

}  // namespace talvenor::view
