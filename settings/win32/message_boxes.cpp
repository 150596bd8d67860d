#include "settings/win32/message_boxes.h"

#include <cstdio>

#include "settings/win32/win32_text.h"

namespace talvenor::view {

namespace {

constexpr int kErrorIcon = 0;
constexpr int kWarningIcon = 1;

UINT IconStyle(int icon) {
  return icon == kErrorIcon ? MB_ICONERROR : icon == kWarningIcon ? MB_ICONWARNING : MB_ICONINFORMATION;
}

const char* IconName(int icon) { return icon == kErrorIcon ? "error" : icon == kWarningIcon ? "warning" : "info"; }

}  // namespace

void ShowMessageBox(HWND owner, const std::string& text, int icon) {
  MessageBoxW(owner, ToWide(text).c_str(), L"Talvenor", MB_OK | IconStyle(icon));
}

void ReportUnshownMessage(const std::string& text, int icon) {
  std::fprintf(stderr, "talvenor (%s): %s\n", IconName(icon), text.c_str());
}

}  // namespace talvenor::view
