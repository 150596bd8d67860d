#include <windows.h>

#include "platform/environment.h"
#include "platform/win32/wide_text.h"

namespace talvenor {

// The process's environment as it is now, UTF-8: the C runtime's copy may
// predate variables the host set before it loaded the module.
std::optional<std::string> EnvironmentVariable(const char* name) {
  std::wstring wideName = WideFromUtf8(name);
  std::wstring value(256, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    SetLastError(ERROR_SUCCESS);
    DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();  // set, but empty
    }
    if (length < value.size()) {
      value.resize(length);
      return Utf8FromWide(value);
    }
    value.resize(length);  // the size asked for, with the terminating NUL
  }
  return std::nullopt;
}

}  // namespace talvenor
