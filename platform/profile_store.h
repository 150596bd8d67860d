// The per-user settings profile, section "Settings", one text value per
// entry. On Windows it is the registry's application profile: key
// HKEY_CURRENT_USER\Software\Kestravon\<profile>\Settings, one REG_SZ value per
// entry. On Linux it is one text file per profile,
// ${XDG_CONFIG_HOME:-$HOME/.config}/Kestravon/<profile>.ini, section
// [Settings], one "Entry=value" line per entry.
#pragma once

#include <string>

namespace talvenor {

class ProfileStore {
public:
  explicit ProfileStore(std::string profileName) : profileName_(std::move(profileName)) {}

  // The file's path, worked out anew at each use from the environment; on
  // Windows the registry key's path.
  std::string Path() const;

  // The entry's text, or `fallback` when the file or the entry is missing.
  std::string GetString(const std::string& entry, const std::string& fallback = {}) const;
  // The entry read as a decimal integer, or `fallback` when missing or not a number.
  int GetInt(const std::string& entry, int fallback) const;

  // Replaces one entry, keeping every other entry. Line breaks in the value
  // are dropped. On Linux the file is rewritten atomically (temporary file,
  // then rename) with mode 0600, since it holds passwords. False when it
  // could not be written, or when the file exists but could not be read (it
  // is then left as it is).
  bool WriteString(const std::string& entry, const std::string& value) const;
  bool WriteInt(const std::string& entry, int value) const;

private:
  std::string profileName_;
};

// The module's own profile, named after its file name without "lib" and
// extension ("talvenor").
const ProfileStore& ModuleProfile();

}  // namespace talvenor
