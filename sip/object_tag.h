// The number that tells one call line or gateway account apart from every
// other live one. It is written in decimal as the From tag and, after
// "z9hG4bK", as the Via branch of everything the object sends.
#pragma once

#include <cstdint>

namespace talvenor {

class ObjectTag {
public:
  // Takes a random number that no live tag holds: never 0, fixed for the
  // life of this object. Thread-safe.
  ObjectTag();
  ~ObjectTag();

  ObjectTag(const ObjectTag&) = delete;
  ObjectTag& operator=(const ObjectTag&) = delete;
  // The number travels with its owner; the moved-from tag holds none (0).
  ObjectTag(ObjectTag&& other) noexcept;
  ObjectTag& operator=(ObjectTag&& other) noexcept;

  uint32_t Value() const { return value_; }

  // Makes the next allocation draw `value` (for tests that drive it onto
  // live numbers or 0).
  static void SetNextValueForTesting(uint32_t value);

private:
  uint32_t value_;
};

}  // namespace talvenor
