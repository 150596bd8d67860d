// Numbers in the profile, kept as their decimal text on every system.
#include <cerrno>
#include <cstdlib>

#include "platform/profile_store.h"

namespace talvenor {

int ProfileStore::GetInt(const std::string& entry, int fallback) const {
  std::string text = GetString(entry, {});
  if (text.empty()) return fallback;
  char* end = nullptr;
  errno = 0;
  // Read as 64 bits everywhere (a Windows long has 32), then narrowed.
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || errno == ERANGE) return fallback;
  return static_cast<int>(value);
}

bool ProfileStore::WriteInt(const std::string& entry, int value) const {
  return WriteString(entry, std::to_string(value));
}

}  // namespace talvenor
