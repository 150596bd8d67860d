#include "platform/profile_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

namespace talvenor {

namespace {

constexpr const char* kSection = "Settings";
constexpr const char* kCompany = "Kestravon";

std::string ConfigRoot() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') return xdg;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return std::string(home) + "/.config";
  }
  return ".config";
}

// The file's lines; none when it does not exist yet; nothing at all when it
// exists but could not be read, in full or in part.
std::optional<std::vector<std::string>> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream file(path);
  if (!file.is_open()) {
    struct stat status{};
    if (stat(path.c_str(), &status) != 0 && (errno == ENOENT || errno == ENOTDIR)) return lines;
    return std::nullopt;
  }
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (file.bad()) return std::nullopt;
  return lines;
}

bool IsSectionHeader(const std::string& line) { return line.size() >= 2 && line.front() == '[' && line.back() == ']'; }

// Finds "entry=" inside [Settings]; entry names compare ignoring case, as
// registry value names do.
bool MatchesEntry(const std::string& line, const std::string& entry) {
  if (line.size() <= entry.size() || line[entry.size()] != '=') return false;
  for (size_t i = 0; i < entry.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(line[i])) != std::tolower(static_cast<unsigned char>(entry[i]))) {
      return false;
    }
  }
  return true;
}

// Line breaks would split a value into entries of its own.
std::string OneLine(const std::string& value) {
  std::string clean;
  for (char c : value) {
    if (c != '\r' && c != '\n') clean += c;
  }
  return clean;
}

bool MakeDirectories(const std::string& path) {
  for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

bool WriteAtomically(const std::string& path, const std::string& text) {
  std::string folder = path.substr(0, path.rfind('/'));
  if (!MakeDirectories(folder)) return false;
  std::string temporary = path + ".XXXXXX";
  int fd = mkstemp(temporary.data());
  if (fd < 0) return false;
  bool ok = fchmod(fd, 0600) == 0;
  size_t done = 0;
  while (ok && done < text.size()) {
    ssize_t written = write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    ok = written > 0;
    if (ok) done += static_cast<size_t>(written);
  }
  ok = ok && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

}  // namespace

std::string ProfileStore::Path() const { return ConfigRoot() + "/" + kCompany + "/" + profileName_ + ".ini"; }

std::string ProfileStore::GetString(const std::string& entry, const std::string& fallback) const {
  bool inSection = false;
  for (const std::string& line : ReadLines(Path()).value_or(std::vector<std::string>{})) {
    if (IsSectionHeader(line)) {
      inSection = line == std::string("[") + kSection + "]";
    } else if (inSection && MatchesEntry(line, entry)) {
      return line.substr(entry.size() + 1);
    }
  }
  return fallback;
}

bool ProfileStore::WriteString(const std::string& entry, const std::string& value) const {
  // A file that exists but cannot be read is left alone: rewriting it from
  // nothing would lose every other setting and password in it.
  std::optional<std::vector<std::string>> lines = ReadLines(Path());
  if (!lines) return false;
  std::string newLine = entry + "=" + OneLine(value);
  bool inSection = false;
  bool written = false;
  std::ostringstream out;
  for (const std::string& line : *lines) {
    if (IsSectionHeader(line)) {
      if (inSection && !written) {
        out << newLine << '\n';
        written = true;
      }
      inSection = line == std::string("[") + kSection + "]";
    } else if (inSection && MatchesEntry(line, entry)) {
      if (!written) out << newLine << '\n';
      written = true;
      continue;
    }
    out << line << '\n';
  }
  if (!written) {
    if (!inSection) out << '[' << kSection << "]\n";
    out << newLine << '\n';
  }
  return WriteAtomically(Path(), out.str());
}

const ProfileStore& ModuleProfile() {
  // Never destroyed: a host may shut the module down (and save) from an exit handler.
  static const ProfileStore* profile = new ProfileStore("talvenor");
  return *profile;
}

}  // namespace talvenor
