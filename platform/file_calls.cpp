// The list files' calls of the system (Linux).
#include "platform/file_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/private_file.h"

namespace talvenor {

FileHandle OpenPrivateFile(const std::string& path, PrivateFileMode mode) {
  if (mode == PrivateFileMode::Update) {
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return nullptr;
    FILE* file = fdopen(fd, "r+");
    if (file == nullptr) close(fd);
    return FileHandle(file);
  }
  bool append = mode == PrivateFileMode::Append;
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
  int fd = open(path.c_str(), flags, 0600);
  if (fd < 0) return nullptr;
  if (!append && fchmod(fd, 0600) != 0) {
    close(fd);
    return nullptr;
  }
  FILE* file = fdopen(fd, append ? "a" : "w");
  if (file == nullptr) close(fd);
  return FileHandle(file);
}

FileHandle OpenFileForReading(const std::string& path) { return FileHandle(std::fopen(path.c_str(), "r")); }

bool RemoveFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool RenameOver(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool ReadLine(FILE* file, std::string& line) {
  char* buffer = nullptr;
  size_t capacity = 0;
  ssize_t length = getline(&buffer, &capacity, file);
  if (length > 0) line.assign(buffer, static_cast<size_t>(length));
  std::free(buffer);
  return length > 0;
}

bool SyncToDisk(FILE* file) { return fsync(fileno(file)) == 0; }

FileStamp StampOfFile(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return {};
  return {static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
          static_cast<int64_t>(status.st_size), static_cast<uint64_t>(status.st_ino)};
}

bool FileReadable(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

}  // namespace talvenor
