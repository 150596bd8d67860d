#include "platform/profile_store.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/win32/module_file.h"
#include "platform/win32/wide_text.h"

namespace talvenor {

namespace {

constexpr const char* kSection = "Settings";
constexpr const char* kCompany = "Kestravon";

std::wstring SettingsKey(const std::string& profileName) {
  return WideFromUtf8(std::string("Software\\") + kCompany + "\\" + profileName + "\\" + kSection);
}

// Line breaks are dropped as the profile file on Linux must drop them, so
// that a value reads back the same on both.
std::string OneLine(const std::string& value) {
  std::string clean;
  for (char c : value) {
    if (c != '\r' && c != '\n') clean += c;
  }
  return clean;
}

class RegistryKey {
public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  HKEY* Receive() { return &key_; }
  HKEY Get() const { return key_; }

private:
  HKEY key_ = nullptr;
};

}  // namespace

std::string ProfileStore::Path() const {
  return std::string("HKEY_CURRENT_USER\\Software\\") + kCompany + "\\" + profileName_ + "\\" + kSection;
}

std::string ProfileStore::GetString(const std::string& entry, const std::string& fallback) const {
  std::wstring key = SettingsKey(profileName_);
  std::wstring name = WideFromUtf8(entry);
  // A number an earlier version stored as REG_DWORD reads as its decimal text.
  constexpr DWORD kAccepted = RRF_RT_REG_SZ | RRF_RT_REG_DWORD;
  std::vector<wchar_t> value(256);
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), kAccepted, &type, value.data(), &bytes);
    if (status == ERROR_MORE_DATA) {
      // The value changed size, or was larger than the buffer: ask again.
      value.resize(bytes / sizeof(wchar_t) + 1);
      continue;
    }
    if (status != ERROR_SUCCESS) return fallback;
    if (type == REG_DWORD) {
      DWORD number = 0;
      std::memcpy(&number, value.data(), sizeof number);
      return std::to_string(number);
    }
    // RegGetValueW ends the text with a NUL, counted in `bytes`.
    size_t length = bytes / sizeof(wchar_t);
    while (length > 0 && value[length - 1] == L'\0') --length;
    return Utf8FromWide(std::wstring_view(value.data(), length));
  }
  return fallback;
}

bool ProfileStore::WriteString(const std::string& entry, const std::string& value) const {
  RegistryKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey(profileName_).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, key.Receive(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  std::wstring text = WideFromUtf8(OneLine(value));
  DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));  // with the terminating NUL
  return RegSetValueExW(key.Get(), WideFromUtf8(entry).c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

const ProfileStore& ModuleProfile() {
  // Never destroyed: a host may shut the module down (and save) from an exit handler.
  static const ProfileStore* profile = [] {
    std::string name = ModuleBaseName();
    return new ProfileStore(name.empty() ? "talvenor" : name);
  }();
  return *profile;
}

}  // namespace talvenor
