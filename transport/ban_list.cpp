#include "transport/ban_list.h"

#include <fmt/printf.h>

#include <cstdio>

#include "platform/private_file.h"
#include "sip/tokens.h"

namespace talvenor {

namespace {

bool EntryMatches(std::string_view entry, std::string_view dottedSource) {
  if (entry.back() == '.') return dottedSource.find(entry) != std::string_view::npos;
  return entry == dottedSource;
}

}  // namespace

std::string BanListMark(const std::string& path, std::string_view dottedSource) {
  FileHandle list = OpenFileForReading(path);
  if (!list) return {};
  // Lines are read 259 characters at a time; a longer line is read in
  // pieces and each piece counts as a line.
  char line[260];
  while (std::fgets(line, sizeof line, list.get()) != nullptr) {
    std::string_view text(line);
    std::string_view entry = NthToken(text, "\t\n", 0);
    if (entry.empty()) continue;
    if (EntryMatches(entry, dottedSource)) return std::string(NthToken(text, "\t\n", 1));
  }
  return {};
}

bool AppendBanEntry(const std::string& path, std::string_view dottedSource, std::string_view dateText) {
  FileHandle list = OpenPrivateFile(path, PrivateFileMode::Append);
  if (!list) return false;
  bool written = WriteText(list.get(), fmt::sprintf("%s\t%s\n", dottedSource, dateText));
  return CloseFile(std::move(list)) && written;
}

}  // namespace talvenor
