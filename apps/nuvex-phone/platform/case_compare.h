#pragma once

#include <cstddef>

namespace nuvex {

// Whether the first `count` bytes of both texts match, letters compared
// without regard to case as the C library compares them; a text may end
// earlier at a NUL.
bool SameIgnoringCase(const char* left, const char* right, size_t count);

}  // namespace nuvex
