// Reading the registrar's tab-separated text lists. A line is read 259
// characters at a time; a longer line is read in pieces and each piece counts
// as a line. Runs of separators count as one and leading ones are skipped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvenor {

// The list's lines (pieces), each with its line feed when it had one; nothing
// when the file cannot be opened.
std::optional<std::vector<std::string>> ReadListLines(const std::string& path);

// Field `index` (from 0) of a list line cut at TAB and LF.
std::string_view ListField(std::string_view line, int index);
// A field read as an unsigned decimal number; not a number reads as 0.
uint32_t ListNumber(std::string_view field);

}  // namespace talvenor
