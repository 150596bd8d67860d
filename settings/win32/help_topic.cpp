#include "settings/win32/help_topic.h"

#include <algorithm>
#include <cwctype>
#include <string_view>

#include "settings/win32/platform/help_viewers.h"

namespace talvenor::view {

namespace {

bool IsCompiledHelp(const std::wstring& file) {
  constexpr std::wstring_view kSuffix = L".chm";
  if (file.size() < kSuffix.size()) return false;
  for (size_t i = 0; i < kSuffix.size(); ++i) {
    if (std::towlower(file[file.size() - kSuffix.size() + i]) != kSuffix[i]) return false;
  }
  return true;
}

}  // namespace

bool OpenHelpTopic(HWND owner, std::wstring file, int topic) {
  // The module joins folder and name with '/', which a file URL and the
  // help viewer would take for part of a name.
  std::replace(file.begin(), file.end(), L'/', L'\\');
  if (file.empty() || !HelpFileExists(file)) return false;
  return IsCompiledHelp(file) ? ShowCompiledHelp(owner, file, topic) : ShowPageAt(owner, file, topic);
}

}  // namespace talvenor::view
