// Nothing may unwind into the host: every exported entry and CCom slot runs
// its body through Guarded, which turns an exception into the given result.
#pragma once

#include <utility>

namespace talvenor {

template <typename Body, typename Result>
Result Guarded(Body&& body, Result failure) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return failure;
  }
}

template <typename Body>
void Guarded(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (...) {
  }
}

}  // namespace talvenor
