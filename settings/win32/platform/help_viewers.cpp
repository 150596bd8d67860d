#include "settings/win32/platform/help_viewers.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <wininet.h>

#include <iterator>

namespace talvenor::view {

namespace {

constexpr UINT kHelpContext = 0x000F;  // HH_HELP_CONTEXT of htmlhelp.h
using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

// The control comes from the system folder by its full path, never from a
// folder a stranger could write to. It stays loaded: its help window
// outlives this call and the sheet.
HtmlHelpFunction HtmlHelpEntry() {
  static const HtmlHelpFunction entry = [] {
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, static_cast<UINT>(std::size(folder)));
    if (length == 0 || length >= std::size(folder)) return HtmlHelpFunction{};
    HMODULE control = LoadLibraryW((std::wstring(folder, length) + L"\\hhctrl.ocx").c_str());
    if (control == nullptr) return HtmlHelpFunction{};
    return reinterpret_cast<HtmlHelpFunction>(reinterpret_cast<void*>(GetProcAddress(control, "HtmlHelpW")));
  }();
  return entry;
}

bool Launched(HINSTANCE result) {
  // ShellExecute reports success as a value above 32.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace

bool HelpFileExists(const std::wstring& file) { return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool ShowCompiledHelp(HWND owner, const std::wstring& file, int topic) {
  HtmlHelpFunction htmlHelp = HtmlHelpEntry();
  return htmlHelp != nullptr && htmlHelp(owner, file.c_str(), kHelpContext, static_cast<DWORD_PTR>(topic)) != nullptr;
}

// The shell takes a file URL for a path, anchor and all, so the browser
// registered for the page is started with the URL as its argument. Where
// none is found, the page opens at its start.
bool ShowPageAt(HWND owner, const std::wstring& file, int topic) {
  wchar_t url[INTERNET_MAX_URL_LENGTH];
  DWORD length = static_cast<DWORD>(std::size(url));
  wchar_t browser[MAX_PATH];
  if (SUCCEEDED(UrlCreateFromPathW(file.c_str(), url, &length, 0)) &&
      Launched(FindExecutableW(file.c_str(), nullptr, browser))) {
    std::wstring argument = L"\"" + std::wstring(url, length) + L"#" + std::to_wstring(topic) + L"\"";
    if (Launched(ShellExecuteW(owner, L"open", browser, argument.c_str(), nullptr, SW_SHOWNORMAL))) return true;
  }
  return Launched(ShellExecuteW(owner, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
}

}  // namespace talvenor::view
