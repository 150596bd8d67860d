#include "platform/win32/module_file.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace talvenor {

void* ModuleHandle() {
  HMODULE module = nullptr;
  // Found from an address inside this code, so it names the DLL, not the
  // host that loaded it. The reference count stays as it is.
  DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&ModuleHandle), &module)) return nullptr;
  return module;
}

std::string LoadedFilePath(void* module) {
  // Long paths can pass MAX_PATH: the buffer grows until the name fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(static_cast<HMODULE>(module), path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return Utf8FromWide(path);
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

std::string ModulePath() {
  void* module = ModuleHandle();
  return module == nullptr ? std::string() : LoadedFilePath(module);
}

std::string ModuleBaseName() {
  std::string path = ModulePath();
  size_t slash = path.find_last_of("\\/");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string FolderOfPath(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace talvenor
