// Every `#include "folder/..."` of the module's folders against the layers
// drawn in docs/ARCHITECTURE.md: a folder includes only the folders below it,
// so that module/ composes and the subsystems never reach up.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace {

const std::set<std::string> kFoundation = {"config", "host", "platform", "codec-g729"};

// What each folder may include besides itself and the foundation.
const std::map<std::string, std::set<std::string>> kAllowed = {
    {"config", {}}, {"host", {}}, {"platform", {}}, {"codec-g729", {}},
    {"sip", {}},
    {"transport", {"sip"}},
    {"registration", {"sip"}},
    {"media", {"sip"}},
    {"calls", {"sip", "media", "registration"}},
    {"settings", {"sip", "registration"}},
    {"module", {"sip", "transport", "registration", "media", "calls", "settings"}},
};
// The phone is a host: it sees the module through host/ alone.
const std::set<std::string> kPhoneMayInclude = {"apps", "host"};


TEST(IncludeDirection, NoFolderReachesUp) {
  const std::filesystem::path root(TALVENOR_SOURCE_DIR);
  const std::regex include(R"(^#include "([a-z0-9-]+)/)");
  std::set<std::string> wrong;
  std::map<std::string, std::set<std::string>> checked = kAllowed;
  checked["apps/nuvex-phone"] = kPhoneMayInclude;
  for (const auto& [folder, allowed] : checked) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root / folder)) {
      std::string extension = entry.path().extension().string();
      if (extension != ".cpp" && extension != ".h" && extension != ".c") continue;
      std::ifstream file(entry.path());
      std::smatch match;
      for (std::string line; std::getline(file, line);) {
        if (!std::regex_search(line, match, include)) continue;
        std::string target = match[1];
        bool phone = folder.starts_with("apps/");
        bool fine = target == folder || allowed.contains(target) || (!phone && kFoundation.contains(target));
        if (!fine) wrong.insert(std::filesystem::relative(entry.path(), root).string() + ": " + line);
      }
    }
  }
  EXPECT_TRUE(wrong.empty()) << [&] {
    std::string text;
    for (const std::string& line : wrong) text += "\n  " + line;
    return text;
  }();
}

}  // namespace
