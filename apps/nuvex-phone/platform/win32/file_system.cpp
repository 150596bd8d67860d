// Files and folders under the user's profile folder are the user's alone
// already: what the phone creates keeps the access its folder gives.
#include "apps/nuvex-phone/platform/file_system.h"

#include <windows.h>
// The file system's own ReplaceFile is not the one this file defines.
#undef ReplaceFile

#include <algorithm>
#include <climits>

#include "apps/nuvex-phone/platform/win32/wide_text.h"

namespace nuvex {

namespace {

bool WriteAll(HANDLE file, const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, INT_MAX));
    DWORD written = 0;
    if (!WriteFile(file, text.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

bool FolderExists(const std::wstring& folder) {
  DWORD attributes = GetFileAttributesW(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

NewFile CreatePrivateFile(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileW(WideText(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_FILE_EXISTS ? NewFile::AlreadyThere : NewFile::NotCreated;
  }
  bool written = WriteAll(file, text);
  return !CloseHandle(file) || !written ? NewFile::NotWritten : NewFile::Written;
}

FileRead ReadWholeFile(const std::string& path, std::string& text) {
  HANDLE file = CreateFileW(WideText(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::Missing : FileRead::Failed;
  }
  char block[4096];
  bool failed = false;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, block, sizeof block, &got, nullptr)) {
      failed = true;
      break;
    }
    if (got == 0) break;
    text.append(block, got);
  }
  CloseHandle(file);
  return failed ? FileRead::Failed : FileRead::Read;
}

bool ReplaceFile(const std::string& path, const std::string& text) {
  std::wstring target = WideText(path);
  // The process id keeps two phones that share the file from sharing the
  // temporary one as well.
  std::wstring temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L".new";
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(file, text) && FlushFileBuffers(file);
  ok = CloseHandle(file) && ok;
  ok = ok && MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileW(temporary.c_str());
  return ok;
}

bool MakePrivateFolder(const std::string& folder) {
  std::wstring wide = WideText(folder);
  if (CreateDirectoryW(wide.c_str(), nullptr)) return true;
  DWORD error = GetLastError();
  if (FolderExists(wide)) return true;
  size_t separator = folder.find_last_of("\\/");
  if (error != ERROR_PATH_NOT_FOUND || separator == std::string::npos || separator == 0) return false;
  return MakePrivateFolder(folder.substr(0, separator)) && (CreateDirectoryW(wide.c_str(), nullptr) || FolderExists(wide));
}

}  // namespace nuvex
