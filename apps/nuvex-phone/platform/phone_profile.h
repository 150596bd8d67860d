// The phone's access to the module's settings file,
// ${XDG_CONFIG_HOME:-$HOME/.config}/Kestravon/talvenor.ini: section
// [Settings], one "Entry=value" line per entry, entry names matched without
// regard to case. On Windows the module keeps them in the registry instead,
// under HKEY_CURRENT_USER\Software\Kestravon\talvenor\Settings, one string
// value per entry, and the phone reads and writes them there.
#pragma once

#include <optional>
#include <string>

namespace nuvex {

// The file's path, worked out from the environment at each call.
std::string ProfilePath();

// A user folder by the XDG rule: the variable's value, else $HOME and
// `underHome` (".config", ".local/share"), else `underHome` itself.
std::string UserFolder(const char* variable, const char* underHome);

// The entry's value; nothing when the file, the section or the entry is missing.
std::optional<std::string> ReadProfileEntry(const std::string& entry);

// Sets one entry and keeps every other line. The file (mode 0600: it holds
// passwords) and its folders (0700) are created as needed, and the new text
// replaces the old in one rename. False, with the file left as it was, when
// the entry or the value holds a line break, when an existing file cannot be
// read, or when the new file cannot be written.
bool WriteProfileEntry(const std::string& entry, const std::string& value);

}  // namespace nuvex
