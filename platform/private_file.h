// Files the module creates for its lists. They hold passwords and the
// addresses of callers, so on Linux a file that is created gets mode 0600;
// on Windows the user's profile folder keeps them private already. Paths
// are UTF-8.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace talvenor {

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

enum class PrivateFileMode { Append, Truncate, Update };

// Opens the file for writing, creating it with mode 0600; an existing file
// keeps its mode, except that Truncate (a file written anew) makes it 0600
// too (Linux). Update opens an existing file only, to write over some of
// its bytes where a seek puts them. Written as bytes, without line-end
// translation. Null on failure, with errno set.
FileHandle OpenPrivateFile(const std::string& path, PrivateFileMode mode);

// Opens an existing file for reading, its bytes as they are; null when it
// cannot be opened. The path is UTF-8 on every system.
FileHandle OpenFileForReading(const std::string& path);
// Removes the file; false when it could not be removed.
bool RemoveFile(const std::string& path);

// Writes the text in full; false on any error.
bool WriteText(FILE* file, std::string_view text);
// Closes the file, reporting whether everything written reached it (a full
// disk often shows only here).
bool CloseFile(FileHandle file);

// Reads the next line, its line end and any NUL bytes kept; false at the
// end of the file or on an error (tell them apart with ferror).
bool ReadLine(FILE* file, std::string& line);
// Flushes the file's buffer and makes what it holds durable, so that a
// rename over an older file can never leave an empty one after a crash.
bool FlushToDisk(FILE* file);
// What tells one version of a file from another without reading it: its
// modification time (as fine as the system keeps it), its size and, on
// Linux, its inode (a file renamed over it is another). All zero when the
// file cannot be looked at.
struct FileStamp {
  int64_t modified = 0;
  int64_t size = 0;
  uint64_t inode = 0;
  bool operator==(const FileStamp&) const = default;
};
FileStamp StampOfFile(const std::string& path);
// Whether the file exists and this process may read it.
bool FileReadable(const std::string& path);

// Renames `replacement` over `path` in one step; when that fails, the
// replacement is removed and the file at `path` stays as it was.
bool ReplaceFile(const std::string& replacement, const std::string& path);

}  // namespace talvenor
