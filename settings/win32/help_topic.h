// The help opened at a topic: compiled help through the system's HTML Help
// control by context number, the HTML page that stands in for it by anchor.
#pragma once

#include <windows.h>

#include <string>

namespace talvenor::view {

// True when the help was shown.
bool OpenHelpTopic(HWND owner, std::wstring file, int topic);

}  // namespace talvenor::view
