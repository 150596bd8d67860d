#include "transport/ban_list.h"

#include <cstdio>
#include <memory>

#include "sip/tokens.h"

namespace talvenor {

namespace {

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

bool EntryMatches(std::string_view entry, std::string_view dottedSource) {
  if (entry.back() == '.') return dottedSource.find(entry) != std::string_view::npos;
  return entry == dottedSource;
}

}  // namespace

std::string BanListMark(const std::string& path, std::string_view dottedSource) {
  File list(std::fopen(path.c_str(), "r"));
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
  File list(std::fopen(path.c_str(), "a"));
  if (!list) return false;
  std::fprintf(list.get(), "%.*s\t%.*s\n", static_cast<int>(dottedSource.size()), dottedSource.data(),
               static_cast<int>(dateText.size()), dateText.data());
  return true;
}

}  // namespace talvenor
