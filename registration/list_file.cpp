#include "registration/list_file.h"

#include <cstdio>
#include <memory>

#include "sip/tokens.h"

namespace talvenor {

std::optional<std::vector<std::string>> ReadListLines(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "r"), &std::fclose);
  if (!file) return std::nullopt;
  std::vector<std::string> lines;
  char piece[260];
  while (std::fgets(piece, sizeof piece, file.get()) != nullptr) lines.emplace_back(piece);
  return lines;
}

std::string_view ListField(std::string_view line, int index) { return NthToken(line, "\t\n", index); }

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
