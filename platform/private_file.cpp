// What the list files do alike on every system, over the calls of
// platform/file_calls.cpp.
#include "platform/private_file.h"

#include "platform/file_calls.h"

namespace talvenor {

bool WriteText(FILE* file, std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

bool CloseFile(FileHandle file) {
  if (!file) return false;
  bool flushed = std::fflush(file.get()) == 0;
  return (std::fclose(file.release()) == 0) && flushed;
}

bool ReplaceFile(const std::string& replacement, const std::string& path) {
  if (RenameOver(replacement, path)) return true;
  RemoveFile(replacement);
  return false;
}

bool FlushToDisk(FILE* file) { return std::fflush(file) == 0 && SyncToDisk(file); }

}  // namespace talvenor
