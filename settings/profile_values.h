// Reading and writing the short comma-separated numbers of the profile entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace talvenor {

// Scans "%u,%u,..." with up to `count` numbers, as sscanf would: the numbers
// are taken in order as far as they parse, and the rest are missing.
std::vector<uint32_t> ScanUnsignedList(const std::string& text, size_t count);
// "%u,%u,..." of the values.
std::string FormatUnsignedList(const std::vector<uint32_t>& values);

}  // namespace talvenor
