#include "apps/nuvex-phone/platform/shared_library.h"

#include <windows.h>

#include <algorithm>

#include "apps/nuvex-phone/platform/win32/wide_text.h"

namespace nuvex {

// Windows resolves a DLL's imports when it loads, and a DLL's exports are
// reached through GetProcAddress alone: "now" and "global" need nothing more.
void* LoadSharedLibrary(const std::string& path, std::string& error) {
  std::string native = path;
  std::replace(native.begin(), native.end(), '/', '\\');
  // The module's own dependencies (its codec library) are looked for in its
  // folder first.
  HMODULE library = LoadLibraryExW(WideText(native).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (library == nullptr) error = SystemErrorText(GetLastError());
  return reinterpret_cast<void*>(library);
}

void* LibrarySymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

std::string SharedLibraryFileName(const std::string& name) { return name + ".dll"; }

}  // namespace nuvex
