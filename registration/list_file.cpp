#include "registration/list_file.h"

#include <cstdio>

#include "platform/private_file.h"
#include "sip/tokens.h"

namespace talvenor {

ListContents ReadListLines(const std::string& path) {
  ListContents contents;
  FileHandle file = OpenFileForReading(path);
  if (!file) return contents;
  for (std::string line; ReadLine(file.get(), line);) contents.lines.push_back(std::move(line));
  contents.state = std::ferror(file.get()) ? ListContents::State::Failed : ListContents::State::Read;
  return contents;
}

std::vector<std::string> ReadableListLines(const std::string& path) {
  ListContents contents = ReadListLines(path);
  if (contents.state != ListContents::State::Read) return {};
  return std::move(contents.lines);
}

// A CR (a list saved with CR LF) or a NUL ends a field as well: neither may
// reach a header line written from it.
std::string_view ListField(std::string_view line, int index) {
  return NthToken(line, std::string_view("\t\r\n\0", 4), index);
}

uint32_t ListNumber(std::string_view field) {
  uint64_t value = 0;
  size_t at = 0;
  while (at < field.size() && (field[at] == ' ' || field[at] == '\t')) ++at;
  for (; at < field.size() && field[at] >= '0' && field[at] <= '9'; ++at) {
    value = (value * 10 + static_cast<uint64_t>(field[at] - '0')) & 0xffffffffu;
  }
  return static_cast<uint32_t>(value);
}

}  // namespace talvenor
