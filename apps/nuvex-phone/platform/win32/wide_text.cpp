#include "apps/nuvex-phone/platform/win32/wide_text.h"

#include <windows.h>

#include <climits>

namespace nuvex {

std::wstring WideText(const std::string& utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX) return {};
  int size = static_cast<int>(utf8.size());
  int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8Text(const wchar_t* wide, size_t length) {
  if (wide == nullptr || length == 0 || length > INT_MAX) return {};
  int size = static_cast<int>(length);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, size, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

std::string Utf8Text(const std::wstring& wide) { return Utf8Text(wide.data(), wide.size()); }

std::string SystemErrorText(unsigned long code) {
  wchar_t* message = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::string text = Utf8Text(message, length);
  if (message != nullptr) LocalFree(message);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text.empty() ? "error " + std::to_string(code) : text;
}

}  // namespace nuvex
