// Every `#include "folder/..."` of the tree against the rules that
// docs/ARCHITECTURE.md writes beside its picture of the layers: module/
// composes, the subsystems never reach up, and the views, the phone and the
// tools see only what the picture gives them.
#include <gtest/gtest.h>

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
  // Every folder named, with the folders it includes besides itself.
  std::map<std::string, std::set<std::string>> sees;
  std::set<std::string> seeingEverything;
  std::map<std::string, std::set<std::string>> onlyFor;  // a file, with the only folders that include it
};

// The ```include-rules block of the page.
IncludeRules ReadRules(const std::string& page) {
  IncludeRules rules;
  std::vector<std::vector<std::string>> levels;  // top first
  const std::string fence = "```include-rules\n";
  size_t start = page.find(fence);
  std::istringstream lines(start == std::string::npos ? "" : page.substr(start + fence.size()));
  for (std::string line; std::getline(lines, line) && line != "```";) {
    std::istringstream words(line);
    std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
    if (w.size() >= 2 && w[0] == "level") levels.emplace_back(w.begin() + 1, w.end());
    if (w.size() >= 2 && w[1] == "sees") rules.sees[w[0]].insert(w.begin() + 2, w.end());
    if (w.size() >= 3 && w[1] == "only" && w[2] == "for") rules.onlyFor[w[0]].insert(w.begin() + 3, w.end());
  }
  auto below = [&](size_t level) {
    std::set<std::string> folders;
    for (size_t lower = level + 1; lower < levels.size(); ++lower) {
      folders.insert(levels[lower].begin(), levels[lower].end());
    }
    return folders;
  };
  std::map<std::string, size_t> levelOf;
  for (size_t level = 0; level < levels.size(); ++level) {
    for (const std::string& folder : levels[level]) {
      levelOf[folder] = level;
      rules.sees[folder] = below(level);
    }
  }
  for (auto& [folder, seen] : rules.sees) {
    if (seen.erase("everything") != 0) rules.seeingEverything.insert(folder);
    for (const auto& [name, level] : levelOf) {
      if (seen.erase(name + "+") == 0) continue;
      seen.insert(name);
      seen.merge(below(level));
    }
  }
  return rules;
}

// The longest folder named in the rules that holds the path; empty for none.
std::string FolderOf(const IncludeRules& rules, const std::string& path) {
  std::string found;
  for (const auto& [folder, seen] : rules.sees) {
    if (path.starts_with(folder + "/") && folder.size() > found.size()) found = folder;
  }
  return found;
}

// Whether `file` may include `included`, both paths from the top of the tree.
bool MayInclude(const IncludeRules& rules, const std::string& file, const std::string& included) {
  std::string from = FolderOf(rules, file);
  std::string to = FolderOf(rules, included);
  if (from.empty() || to.empty()) return false;
  auto only = rules.onlyFor.find(included);
  if (only != rules.onlyFor.end() && !only->second.contains(from)) return false;
  return from == to || rules.seeingEverything.contains(from) || rules.sees.at(from).contains(to);
}

IncludeRules TheRules() { return ReadRules(testhelp::ReadFile(TALVENOR_SOURCE_DIR "/docs/ARCHITECTURE.md")); }

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
      {"bench/media_bench.cpp", "apps/nuvex-phone/resampler.h", false},
      {"module/sip_module.cpp", "settings/qt/sip_options_sheet.h", false},
      {"settings/options_logic.cpp", "settings/qt/qt_text.h", false},
      {"apps/nuvex-phone/main.cpp", "module/sip_module.h", false},
      {"transport/receive_loop.cpp", "media/rtp_packet.h", false},
      {"config/module_settings.cpp", "platform/clock.h", false},
      {"sip/compose.cpp", "config/module_settings.h", false},
      {"cmake/stray.cpp", "host/ccom.h", false},
      {"settings/options_logic.cpp", "calls/call_line.h", true},
      {"settings/qt/options_page_view.h", "settings/options_pages.h", true},
      {"settings/win32/platform/help_topic.cpp", "settings/win32/help_topic.h", true},
      {"apps/nuvex-phone/platform/sound_card.cpp", "apps/nuvex-phone/call_mixer.h", true},
      {"platform/win32/udp_socket.cpp", "platform/udp_socket.h", true},
      {"module/sip_module.cpp", "config/module_settings.h", true},
      {"fuzz/sip_message_fuzz.cpp", "tests/support/test_host.h", true},
      {"tests/calls/call_flow_test.cpp", "apps/nuvex-phone/call_target.h", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MayInclude(rules, c.file, c.included), c.allowed) << c.file << " includes " << c.included;
  }
}

TEST(IncludeDirection, NoFolderReachesUp) {
  IncludeRules rules = TheRules();
  const fs::path root(TALVENOR_SOURCE_DIR);
  const std::regex include(R"(^\s*#\s*include\s*"([^"]+/[^"]+)\")");
  const std::set<std::string> sources = {".cpp", ".h", ".c", ".cc", ".rc"};
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
