#include "apps/nuvex-phone/platform/phone_profile.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "apps/nuvex-phone/platform/case_compare.h"
#include "apps/nuvex-phone/platform/file_system.h"

namespace nuvex {

namespace {

using Lines = std::vector<std::string>;

const std::string kSettingsHeader = "[Settings]";

bool IsHeader(const std::string& line) { return line.size() > 1 && line.front() == '[' && line.back() == ']'; }

bool HoldsEntry(const std::string& line, const std::string& entry) {
  return line.size() > entry.size() && line[entry.size()] == '=' &&
         SameIgnoringCase(line.c_str(), entry.c_str(), entry.size());
}

// The whole file split into lines without their line ends; no lines when the
// file does not exist, nothing when it exists but cannot be read.
std::optional<Lines> LoadLines(const std::string& path) {
  std::string text;
  FileRead outcome = ReadWholeFile(path, text);
  if (outcome == FileRead::Missing) return Lines{};
  if (outcome == FileRead::Failed) return std::nullopt;
  Lines lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = std::min(text.find('\n', start), text.size());
    lines.push_back(text.substr(start, end - start));
    if (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();
    start = end + 1;
  }
  return lines;
}

// The entry's line in the first [Settings] section when `found`, else the
// line after that section; the section is added at the end when missing.
Lines::iterator EntryLine(Lines& lines, const std::string& entry, bool& found) {
  auto header = std::find(lines.begin(), lines.end(), kSettingsHeader);
  if (header == lines.end()) header = lines.insert(header, kSettingsHeader);
  auto sectionEnd = std::find_if(header + 1, lines.end(), IsHeader);
  auto line = std::find_if(header + 1, sectionEnd, [&](const std::string& each) { return HoldsEntry(each, entry); });
  found = line != sectionEnd;
  return line;
}

}  // namespace

std::string UserFolder(const char* variable, const char* underHome) {
  const char* xdg = std::getenv(variable);
  const char* home = std::getenv("HOME");
  if (xdg != nullptr && *xdg != '\0') return xdg;
  if (home != nullptr && *home != '\0') return std::string(home) + "/" + underHome;
  return underHome;
}

std::string ProfilePath() { return UserFolder("XDG_CONFIG_HOME", ".config") + "/Kestravon/talvenor.ini"; }

std::optional<std::string> ReadProfileEntry(const std::string& entry) {
  std::optional<Lines> lines = LoadLines(ProfilePath());
  if (!lines) return std::nullopt;
  bool found = false;
  auto line = EntryLine(*lines, entry, found);
  return found ? std::optional<std::string>(line->substr(entry.size() + 1)) : std::nullopt;
}

bool WriteProfileEntry(const std::string& entry, const std::string& value) {
  if (entry.empty() || entry.find('=') != std::string::npos) return false;
  if ((entry + value).find_first_of("\r\n") != std::string::npos) return false;
  std::string path = ProfilePath();
  std::optional<Lines> lines = LoadLines(path);
  if (!lines) return false;
  bool found = false;
  auto line = EntryLine(*lines, entry, found);
  if (found) {
    *line = entry + "=" + value;
  } else {
    lines->insert(line, entry + "=" + value);
  }
  std::string text;
  for (const std::string& each : *lines) text += each + "\n";
  return MakePrivateFolder(path.substr(0, path.rfind('/'))) && ReplaceFile(path, text);
}

}  // namespace nuvex
