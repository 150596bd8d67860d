#include "apps/nuvex-phone/platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace nuvex {

NewFile CreatePrivateFile(const std::string& path, const std::string& text) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errno == EEXIST ? NewFile::AlreadyThere : NewFile::NotCreated;
  bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  return close(fd) != 0 || !written ? NewFile::NotWritten : NewFile::Written;
}

FileRead ReadWholeFile(const std::string& path, std::string& text) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? FileRead::Missing : FileRead::Failed;
  char block[4096];
  bool failed = false;
  for (;;) {
    ssize_t got = read(fd, block, sizeof block);
    if (got > 0) {
      text.append(block, static_cast<size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      failed = got < 0;
      break;
    }
  }
  close(fd);
  return failed ? FileRead::Failed : FileRead::Read;
}

bool ReplaceFile(const std::string& path, const std::string& text) {
  std::string temporary = path + ".XXXXXX";
  int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  FILE* file = fdopen(fd, "w");
  bool ok = file != nullptr && fchmod(fd, 0600) == 0 &&
            std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0 &&
            fsync(fd) == 0;
  ok = (file != nullptr ? std::fclose(file) : close(fd)) == 0 && ok;
  ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

bool MakePrivateFolder(const std::string& folder) {
  if (mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) return true;
  size_t slash = folder.rfind('/');
  if (errno != ENOENT || slash == std::string::npos || slash == 0) return false;
  return MakePrivateFolder(folder.substr(0, slash)) && (mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST);
}

}  // namespace nuvex
