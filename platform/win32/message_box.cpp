#include "platform/message_box.h"

#include <windows.h>

#include "platform/system_message_box.h"
#include "platform/win32/module_file.h"
#include "platform/win32/wide_text.h"

namespace talvenor {

std::string MessageText(int id) {
  if (id < 0 || id > 0xffff) return {};
  // A buffer size of 0 asks for a pointer to the text inside the module's
  // resources, so no text is ever cut to fit a buffer.
  const wchar_t* text = nullptr;
  int length = LoadStringW(static_cast<HMODULE>(ModuleHandle()), static_cast<UINT>(id),
                           reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return {};
  return Utf8FromWide(std::wstring_view(text, static_cast<size_t>(length)));
}

void ShowSystemMessage(int, const std::string& text, MessageIcon icon) {
  UINT style = MB_OK | MB_SETFOREGROUND;
  switch (icon) {
    case MessageIcon::Error: style |= MB_ICONERROR; break;
    case MessageIcon::Warning: style |= MB_ICONWARNING; break;
    case MessageIcon::Information: style |= MB_ICONINFORMATION; break;
  }
  std::wstring title = WideFromUtf8(ModuleBaseName());
  MessageBoxW(nullptr, WideFromUtf8(text).c_str(), title.c_str(), style);
}

}  // namespace talvenor
