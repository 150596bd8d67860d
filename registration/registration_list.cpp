#include "registration/registration_list.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <limits>

#include "host/ccon.h"
#include "platform/clock.h"
#include "platform/private_file.h"
#include "registration/list_file.h"
#include "sip/tokens.h"

namespace talvenor {

std::string RegistrationListPath() { return CCon::AddSystemPath("SIP-REG", ".txt"); }
std::string RegistrationBackupPath() { return CCon::AddSystemPath("SIP-REG", ".bak"); }

bool RegistrationExpired(std::string_view line, int64_t now, uint32_t lifetimeCap) {
  std::string_view expiresField = ListField(line, 3);
  if (expiresField.empty()) return false;
  uint32_t lifetime = std::min<uint32_t>(ListNumber(expiresField), lifetimeCap);
  return now > static_cast<int64_t>(ListNumber(ListField(line, 2))) + lifetime;
}

namespace {

// The column titles of a new SIP-PIN list, which the host writes: never an account.
constexpr std::string_view kPasswordListTitles = "UserID\tPassword";

bool Keep(std::string_view line, std::string_view key, int64_t now, uint32_t lifetimeCap) {
  std::string_view first = ListField(line, 0);
  return !first.empty() && !RegistrationExpired(line, now, lifetimeCap) && !EqualsIgnoreCase(first, key);
}

// The registrations that have not run out; an expired one never counts.
std::vector<std::string> LiveRegistrations(uint32_t lifetimeCap) {
  std::vector<std::string> lines = ReadableListLines(RegistrationListPath());
  int64_t now = CalendarSeconds();
  std::erase_if(lines, [now, lifetimeCap](const std::string& line) { return RegistrationExpired(line, now, lifetimeCap); });
  return lines;
}

// Writes the whole file and makes it durable before anyone renames it.
bool WriteDurably(const std::string& path, const std::vector<std::string>& lines) {
  FileHandle file = OpenPrivateFile(path, PrivateFileMode::Truncate);
  if (!file) return false;
  bool ok = true;
  for (const std::string& line : lines) ok = ok && WriteText(file.get(), line);
  ok = ok && FlushToDisk(file.get());
  return CloseFile(std::move(file)) && ok;
}

}  // namespace

bool UpdateRegistrationList(std::string_view key, std::string_view line, int64_t now, uint32_t expires,
                            uint32_t lifetimeCap) {
  std::string listPath = RegistrationListPath();
  ListContents current = ReadListLines(listPath);
  if (current.state == ListContents::State::Unopened) {
    // No list yet: appending creates it.
    FileHandle created = OpenPrivateFile(listPath, PrivateFileMode::Append);
    if (!created) return false;
    bool ok = expires == 0 || WriteText(created.get(), line);
    return CloseFile(std::move(created)) && ok;
  }
  // A list read only in part would lose its other lines in the rewrite.
  if (current.state == ListContents::State::Failed) return false;
  std::vector<std::string> kept;
  for (const std::string& existing : current.lines) {
    if (!Keep(existing, key, now, lifetimeCap)) continue;
    kept.push_back(existing);
    // A last line without its line feed (a list edited by hand) would take
    // the next line into itself.
    if (kept.back().back() != '\n') kept.back() += '\n';
  }
  if (expires != 0) kept.emplace_back(line);
  return ReplaceRegistrationList(kept, {listPath, RegistrationBackupPath()});
}

bool ReplaceRegistrationList(const std::vector<std::string>& lines, const RegistrationListPaths& paths) {
  if (!WriteDurably(paths.backup, lines)) {
    RemoveFile(paths.backup);
    return false;
  }
  return ReplaceFile(paths.backup, paths.list);
}

bool WriteRegistrationLinesAt(const std::vector<ListLineAt>& lines, const std::string& listPath) {
  FileHandle file = OpenPrivateFile(listPath, PrivateFileMode::Update);
  if (!file) return false;
  // Unbuffered: each line reaches the system in one write, however long.
  bool ok = std::setvbuf(file.get(), nullptr, _IONBF, 0) == 0;
  for (const ListLineAt& at : lines) {
    ok = ok && at.offset >= 0 && at.offset <= std::numeric_limits<long>::max() &&
         std::fseek(file.get(), static_cast<long>(at.offset), SEEK_SET) == 0 && WriteText(file.get(), at.line);
  }
  ok = ok && FlushToDisk(file.get());
  return CloseFile(std::move(file)) && ok;
}

uint32_t FindRegistrationByUser(std::string& user, char separator, uint32_t lifetimeCap) {
  std::string prefix = ToLower(user);
  if (separator != '\0') prefix += separator;
  uint32_t lifetime = 0;
  std::string key;
  for (const std::string& line : LiveRegistrations(lifetimeCap)) {
    std::string first = ToLower(ListField(line, 0));
    if (first.empty() || !first.starts_with(prefix)) continue;
    key = first;
    std::string_view expiresField = ListField(line, 3);
    lifetime = expiresField.empty() ? 1 : ListNumber(expiresField);
  }
  if (lifetime != 0) user = key;
  return lifetime;
}

bool AuthenticatedRegistrationFrom(std::string_view user, std::string_view addressAndPort, uint32_t lifetimeCap) {
  if (user.empty() || addressAndPort.empty()) return false;
  std::string key = fmt::format("{}@{}", user, addressAndPort);
  for (const std::string& line : LiveRegistrations(lifetimeCap)) {
    if (EqualsIgnoreCase(ListField(line, 0), key) && ListField(line, 1) == kAuthenticatedMark) return true;
  }
  return false;
}

std::string LookupPassword(std::string_view userId) {
  std::string path = CCon::AddSystemPath("SIP-PIN", ".txt");
  for (const std::string& line : ReadableListLines(path)) {
    if (TrimWhitespace(line) == kPasswordListTitles) continue;
    std::string_view password = ListField(line, 1);
    if (!password.empty() && EqualsIgnoreCase(ListField(line, 0), userId)) return std::string(password);
  }
  return {};
}

}  // namespace talvenor
