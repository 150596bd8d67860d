// Every `#include "folder/..."` of the tree against the rules that
// docs/ARCHITECTURE.md writes beside its picture of the layers: module/
// composes, the subsystems never reach up, and the views, the phone and the
// tools see only what the picture gives them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_helpers.h"

namespace {

namespace fs = std::filesystem;

struct IncludeRules {
  std::map<std::string, size_t> levels;                  // a folder of the picture's levels, top 0
  std::map<std::string, std::set<std::string>> beside;   // a folder beside them, with what it sees
  std::map<std::string, std::set<std::string>> onlyFor;  // a file, with the only folders that include it
};

// The ```include-rules block of the page.
IncludeRules ReadRules(const std::string& page) {
  IncludeRules rules;
  const std::string fence = "```include-rules\n";
  std::istringstream lines(page.substr(std::min(page.find(fence) + fence.size(), page.size())));
  size_t level = 0;
  for (std::string line; std::getline(lines, line) && line != "```";) {
    std::istringstream words(line);
    std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
    if (w.size() >= 2 && w[0] == "level") {
      for (size_t i = 1; i < w.size(); ++i) rules.levels[w[i]] = level;
      ++level;
    }
    if (w.size() >= 2 && w[1] == "sees") rules.beside[w[0]].insert(w.begin() + 2, w.end());
    if (w.size() >= 3 && w[1] == "only" && w[2] == "for") rules.onlyFor[w[0]].insert(w.begin() + 3, w.end());
  }
  return rules;
}

// The longest folder named in the rules that holds the path; empty for none.
std::string FolderOf(const IncludeRules& rules, const std::string& path) {
  std::string found;
  auto consider = [&](const std::string& folder) {
    if (path.starts_with(folder + "/") && folder.size() > found.size()) found = folder;
  };
  for (const auto& entry : rules.levels) consider(entry.first);
  for (const auto& entry : rules.beside) consider(entry.first);
  return found;
}

// Whether `file` may include `included`, both paths from the top of the tree.
bool MayInclude(const IncludeRules& rules, const std::string& file, const std::string& included) {
  std::string from = FolderOf(rules, file);
  std::string to = FolderOf(rules, included);
  auto only = rules.onlyFor.find(included);
  if (from.empty() || to.empty() || (only != rules.onlyFor.end() && !only->second.contains(from))) return false;
  auto below = [&](const std::string& upper) {  // `to` on a level under upper's
    return rules.levels.contains(upper) && rules.levels.contains(to) && rules.levels.at(to) > rules.levels.at(upper);
  };
  if (from == to || below(from)) return true;
  if (!rules.beside.contains(from)) return false;
  return std::ranges::any_of(rules.beside.at(from), [&](const std::string& seen) {
    bool andBelow = seen.ends_with('+');
    std::string named = seen.substr(0, seen.size() - (andBelow ? 1 : 0));
    return seen == "everything" || named == to || (andBelow && below(named));
  });
}

IncludeRules TheRules() { return ReadRules(testhelp::ReadFile(TALVENOR_SOURCE_DIR "/docs/ARCHITECTURE.md")); }

// The rule itself; the whole tree below shows what it allows.
TEST(IncludeDirection, TheRulesFollowThePicture) {
  IncludeRules rules = TheRules();
  const struct {
    const char* file;
    const char* included;
    bool allowed;
  } cases[] = {
      {"settings/qt/sip_gateway_page.cpp", "platform/profile_store.h", false},
      {"platform/udp_socket.cpp", "host/ccom.h", false},
      {"tests/tools/options_shots.cpp", "calls/call_line.h", false},
      {"bench/media_bench.cpp", "module/sip_module.h", true},
      {"module/sip_module.cpp", "settings/qt/sip_options_sheet.h", false},
      {"apps/nuvex-phone/main.cpp", "module/sip_module.h", false},
      {"config/module_settings.cpp", "platform/clock.h", false},
      {"transport/receive_loop.cpp", "media/rtp_packet.h", false},
      {"sip/compose.cpp", "config/module_settings.h", false},
      {"settings/options_logic.cpp", "calls/call_line.h", true},
      {"fuzz/sip_message_fuzz.cpp", "tests/support/test_host.h", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MayInclude(rules, c.file, c.included), c.allowed) << c.file << " includes " << c.included;
  }
}

TEST(IncludeDirection, NoFolderReachesUp) {
  IncludeRules rules = TheRules();
  const fs::path root(TALVENOR_SOURCE_DIR);
  const std::regex include(R"(^\s*#\s*include\s*"([^"]+/[^"]+)\")");
  const std::set<std::string> sources = {".cpp", ".h", ".c", ".rc"};
  std::string wrong;
  for (auto entry = fs::recursive_directory_iterator(root); entry != fs::recursive_directory_iterator();
       ++entry) {
    bool hidden = entry->path().filename().string().starts_with(".");
    if (entry->is_directory() && (hidden || fs::exists(entry->path() / "CMakeCache.txt"))) {
      entry.disable_recursion_pending();  // git's own files and build folders
    }
    if (!entry->is_regular_file() || !sources.contains(entry->path().extension().string())) continue;
    std::string file = entry->path().lexically_relative(root).generic_string();
    if (FolderOf(rules, file).empty()) wrong += "\n  " + file + ": in no folder of the rules";
    std::istringstream text(testhelp::ReadFile(entry->path().string()));
    std::smatch match;
    for (std::string line; std::getline(text, line);) {
      if (line.find("include") == std::string::npos || !std::regex_search(line, match, include)) continue;
      if (!MayInclude(rules, file, match[1])) wrong += "\n  " + file + ": " + line;
    }
  }
  EXPECT_TRUE(wrong.empty()) << "includes that docs/ARCHITECTURE.md does not allow:" << wrong;
}

}  // namespace
