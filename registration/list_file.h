// Reading the registrar's tab-separated text lists. A line is read whole,
// whatever its length: a long User-Agent must not turn its tail into a line
// of its own. Runs of separators count as one and leading ones are skipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace talvenor {

struct ListContents {
  enum class State {
    Read,      // every line was read
    Unopened,  // the file could not be opened (most often: not made yet)
    Failed,    // a read failed part-way: the lines are not the whole list
  };
  State state = State::Unopened;
  std::vector<std::string> lines;  // each with its line feed when it had one
};

ListContents ReadListLines(const std::string& path);
// The lines when the whole list was read; none otherwise.
std::vector<std::string> ReadableListLines(const std::string& path);

// Field `index` (from 0) of a list line cut at TAB and LF.
std::string_view ListField(std::string_view line, int index);
// A field read as an unsigned decimal number; not a number reads as 0.
uint32_t ListNumber(std::string_view field);

}  // namespace talvenor
