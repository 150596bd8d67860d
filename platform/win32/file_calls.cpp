// The list files' calls of the system (Windows).
#include "platform/file_calls.h"
// Before windows.h, which makes ReplaceFile a macro for ReplaceFileW.
#include "platform/private_file.h"

#include <io.h>
#include <windows.h>

#include "platform/win32/wide_text.h"

// Files in the user's profile folder are private to the user already, so a
// file needs no mode of its own. Files are written as bytes, without CR LF
// translation, so that they hold the same bytes as on Linux.
namespace talvenor {

FileHandle OpenPrivateFile(const std::string& path, PrivateFileMode mode) {
  const wchar_t* how = mode == PrivateFileMode::Append ? L"ab" : mode == PrivateFileMode::Update ? L"r+b" : L"wb";
  return FileHandle(_wfopen(WideFromUtf8(path).c_str(), how));
}

// Binary, as on Linux: a CR stays part of its line, and a 0x1A byte does
// not end the file.
FileHandle OpenFileForReading(const std::string& path) {
  return FileHandle(_wfopen(WideFromUtf8(path).c_str(), L"rb"));
}

bool RemoveFile(const std::string& path) { return DeleteFileW(WideFromUtf8(path).c_str()) != 0; }

bool RenameOver(const std::string& from, const std::string& to) {
  std::wstring wideFrom = WideFromUtf8(from);
  std::wstring wideTo = WideFromUtf8(to);
  // A reader (the host's viewer, a virus scanner) that has the file open
  // without sharing its deletion holds the rename up for a moment.
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) break;
    Sleep(20);
  }
  return false;
}

bool ReadLine(FILE* file, std::string& line) {
  std::string read;
  for (int c = std::getc(file); c != EOF; c = std::getc(file)) {
    read += static_cast<char>(c);
    if (c == '\n') break;
  }
  if (read.empty()) return false;
  line = std::move(read);
  return true;
}

bool SyncToDisk(FILE* file) { return _commit(_fileno(file)) == 0; }

FileStamp StampOfFile(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetFileAttributesExW(WideFromUtf8(path).c_str(), GetFileExInfoStandard, &data) == 0) return {};
  auto join = [](DWORD high, DWORD low) { return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low); };
  return {join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime),
          join(data.nFileSizeHigh, data.nFileSizeLow), 0};
}

bool FileReadable(const std::string& path) { return _waccess(WideFromUtf8(path).c_str(), 4) == 0; }

}  // namespace talvenor
