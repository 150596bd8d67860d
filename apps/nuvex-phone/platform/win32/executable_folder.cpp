#include "apps/nuvex-phone/platform/executable_folder.h"

#include <windows.h>

#include <vector>

#include "apps/nuvex-phone/platform/win32/wide_text.h"

namespace nuvex {

std::string ExecutableFolder() {
  // The path may be longer than MAX_PATH: the buffer grows until it fits.
  std::vector<wchar_t> path(MAX_PATH);
  DWORD length = 0;
  for (;;) {
    length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length < path.size() || path.size() >= 32768) break;
    path.resize(path.size() * 2);
  }
  std::string text = length > 0 && length < path.size() ? Utf8Text(path.data(), length) : std::string();
  size_t separator = text.find_last_of("\\/");
  return separator == std::string::npos ? std::string(".") : text.substr(0, separator);
}

}  // namespace nuvex
