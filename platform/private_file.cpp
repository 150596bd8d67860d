#include "platform/private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace talvenor {

FileHandle OpenPrivateFile(const std::string& path, PrivateFileMode mode) {
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

bool WriteText(FILE* file, std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

bool CloseFile(FileHandle file) {
  if (!file) return false;
  bool flushed = std::fflush(file.get()) == 0;
  return (std::fclose(file.release()) == 0) && flushed;
}

bool ReplaceFile(const std::string& replacement, const std::string& path) {
  if (std::rename(replacement.c_str(), path.c_str()) == 0) return true;
  std::remove(replacement.c_str());
  return false;
}

bool ReadLine(FILE* file, std::string& line) {
  char* buffer = nullptr;
  size_t capacity = 0;
  ssize_t length = getline(&buffer, &capacity, file);
  if (length > 0) line.assign(buffer, static_cast<size_t>(length));
  std::free(buffer);
  return length > 0;
}

bool FlushToDisk(FILE* file) { return std::fflush(file) == 0 && fsync(fileno(file)) == 0; }

bool FileReadable(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

}  // namespace talvenor
