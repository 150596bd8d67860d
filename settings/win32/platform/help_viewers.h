// The system's viewers of the help: the HTML Help control for compiled help,
// the browser for an HTML page.
#pragma once

#include <windows.h>

#include <string>

namespace talvenor::view {

// Whether the file is there.
bool HelpFileExists(const std::wstring& file);
// Compiled help (.chm) at its context number; true when it was shown.
bool ShowCompiledHelp(HWND owner, const std::wstring& file, int topic);
// An HTML page at the anchor named by the topic's number; true when it was
// shown.
bool ShowPageAt(HWND owner, const std::wstring& file, int topic);

}  // namespace talvenor::view
