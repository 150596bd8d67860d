#include "platform/shared_library.h"

#include <windows.h>

#include "platform/win32/module_file.h"
#include "platform/win32/wide_text.h"

namespace talvenor {

namespace {

std::string SystemErrorText(DWORD error) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::string message;
  if (length > 0 && text != nullptr) {
    std::wstring_view view(text, length);
    while (!view.empty() && (view.back() == L'\r' || view.back() == L'\n' || view.back() == L' ')) {
      view.remove_suffix(1);
    }
    message = Utf8FromWide(view);
  }
  if (text != nullptr) LocalFree(text);
  return message.empty() ? "error " + std::to_string(error) : message;
}

}  // namespace

bool SharedLibrary::Load(const std::string& path) {
  Free();
  // No "cannot find the DLL" box from the system: a missing library is an
  // answer the caller handles.
  DWORD previousMode = 0;
  bool modeSet = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
  // A library given by its full path finds its own dependencies next to
  // itself first, never in the current folder.
  handle_ = LoadLibraryExW(WideFromUtf8(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  DWORD error = GetLastError();
  if (modeSet) SetThreadErrorMode(previousMode, nullptr);
  if (handle_ == nullptr) error_ = path + ": " + SystemErrorText(error);
  return handle_ != nullptr;
}

void* SharedLibrary::Symbol(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void SharedLibrary::Free() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

std::string ModuleDirectory() { return FolderOfPath(ModulePath()); }

std::string ExecutableDirectory() { return FolderOfPath(LoadedFilePath(nullptr)); }

void* ExecutableSymbol(const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), name));
}

void KeepLibraryLoaded() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&KeepLibraryLoaded), &self);
}

std::string LibraryFileName(const std::string& stem) { return stem + ".dll"; }

// Only next to the module: the system's search for a bare name starts in
// the current folder, where anyone may have put a DLL of that name.
std::vector<std::string> LibraryCandidates(const std::string& fileName) {
  std::vector<std::string> candidates;
  if (std::string folder = ModuleDirectory(); !folder.empty()) candidates.push_back(folder + "\\" + fileName);
  return candidates;
}

}  // namespace talvenor
