// The module keeps its settings in the registry on Windows: the phone reads
// and writes the same values, one string value per entry, names matched
// without regard to case as the registry matches them.
#include "apps/nuvex-phone/platform/phone_profile.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "apps/nuvex-phone/platform/win32/wide_text.h"

namespace nuvex {

namespace {

constexpr const wchar_t* kSettingsKey = L"Software\\Kestravon\\talvenor\\Settings";

bool ValidEntry(const std::string& entry, const std::string& value) {
  return !entry.empty() && entry.find('=') == std::string::npos &&
         (entry + value).find_first_of("\r\n") == std::string::npos;
}

}  // namespace

std::string UserFolder(const char* variable, const char* underHome) {
  const char* chosen = std::getenv(variable);
  if (chosen != nullptr && *chosen != '\0') return chosen;
  // Windows names the user's own folder USERPROFILE; HOME is set by some shells.
  for (const char* home : {"HOME", "USERPROFILE"}) {
    const char* folder = std::getenv(home);
    if (folder != nullptr && *folder != '\0') return std::string(folder) + "/" + underHome;
  }
  return underHome;
}

std::string ProfilePath() { return "HKEY_CURRENT_USER\\" + Utf8Text(std::wstring(kSettingsKey)); }

std::optional<std::string> ReadProfileEntry(const std::string& entry) {
  std::wstring name = WideText(entry);
  // A number stored as a REG_DWORD reads as its decimal text, as the module reads it.
  constexpr DWORD kAccepted = RRF_RT_REG_SZ | RRF_RT_REG_DWORD;
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name.c_str(), kAccepted, nullptr, nullptr, &bytes) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  // Room for the terminating NUL even when the stored value lacks one.
  std::wstring value(bytes / sizeof(wchar_t) + 2, L'\0');
  bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  DWORD type = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name.c_str(), kAccepted, &type, value.data(), &bytes) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  if (type == REG_DWORD) {
    DWORD number = 0;
    std::memcpy(&number, value.data(), sizeof number);
    return std::to_string(number);
  }
  value.resize(wcsnlen(value.c_str(), value.size()));
  return Utf8Text(value);
}

bool WriteProfileEntry(const std::string& entry, const std::string& value) {
  if (!ValidEntry(entry, value)) return false;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  std::wstring text = WideText(value);
  auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  bool written = RegSetValueExW(key, WideText(entry).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                bytes) == ERROR_SUCCESS;
  RegCloseKey(key);
  return written;
}

}  // namespace nuvex
