// A set of byte values for cutting text: a delimiter set such as ": =;" or
// the line ends CR and LF, tested in one lookup per character.
#pragma once

#include <cstdint>
#include <string_view>

namespace talvenor {

class CharSet {
public:
  constexpr explicit CharSet(std::string_view chars) {
    for (char c : chars) {
      auto byte = static_cast<unsigned char>(c);
      bits_[byte >> 6] |= uint64_t{1} << (byte & 63);
    }
  }

  constexpr bool Contains(char c) const {
    auto byte = static_cast<unsigned char>(c);
    return ((bits_[byte >> 6] >> (byte & 63)) & 1) != 0;
  }

  // Position of the first character at or after from that is (or, with
  // inSet false, is not) in the set; text.size() when there is none.
  constexpr size_t Find(std::string_view text, size_t from, bool inSet) const {
    while (from < text.size() && Contains(text[from]) != inSet) {
      ++from;
    }
    return from;
  }

private:
  uint64_t bits_[4] = {};
};

}  // namespace talvenor
