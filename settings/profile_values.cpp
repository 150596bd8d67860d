#include "settings/profile_values.h"

#include <cstdio>

namespace talvenor {

std::vector<uint32_t> ScanUnsignedList(const std::string& text, size_t count) {
  std::vector<uint32_t> values;
  const char* cursor = text.c_str();
  for (size_t index = 0; index < count; ++index) {
    if (index > 0) {
      if (*cursor != ',') break;
      ++cursor;
    }
    unsigned value = 0;
    int consumed = 0;
    // "%u%n" reads one number exactly as the stored formats were scanned.
    if (std::sscanf(cursor, "%u%n", &value, &consumed) != 1) break;
    values.push_back(value);
    cursor += consumed;
  }
  return values;
}

std::string FormatUnsignedList(const std::vector<uint32_t>& values) {
  std::string text;
  for (size_t index = 0; index < values.size(); ++index) {
    if (index > 0) text += ',';
    text += std::to_string(values[index]);
  }
  return text;
}

}  // namespace talvenor
