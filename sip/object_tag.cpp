#include "sip/object_tag.h"

#include <mutex>
#include <optional>
#include <unordered_set>
#include <utility>

#include "sip/random_number.h"

namespace talvenor {
namespace {

// Random numbers for the whole process: a tag (and the branches made from
// it) must not be guessable by a stranger who wants to end or answer
// someone else's call. 0 and every number a live tag holds are drawn again.
class TagAllocator {
public:
  uint32_t Take() {
    std::scoped_lock lock(mutex_);
    uint32_t value = next_ ? *std::exchange(next_, std::nullopt) : RandomNumber();
    // Terminates while fewer than 2^32 - 1 tags are alive, which the few
    // call lines and accounts of a process never approach.
    while (value == 0 || live_.contains(value)) value = RandomNumber();
    live_.insert(value);
    return value;
  }

  void Release(uint32_t value) {
    std::scoped_lock lock(mutex_);
    live_.erase(value);
  }

  void SetNext(uint32_t value) {
    std::scoped_lock lock(mutex_);
    next_ = value;
  }

private:
  std::mutex mutex_;
  std::optional<uint32_t> next_;  // the next draw, set by tests
  std::unordered_set<uint32_t> live_;
};

// Never destroyed: tags of objects that outlive static destruction (a host
// that exits without Shutdown) still release into it.
TagAllocator& Allocator() {
  static TagAllocator* allocator = new TagAllocator;
  return *allocator;
}

}  // namespace

ObjectTag::ObjectTag() : value_(Allocator().Take()) {}

ObjectTag::~ObjectTag() {
  if (value_ != 0) {
    Allocator().Release(value_);
  }
}

ObjectTag::ObjectTag(ObjectTag&& other) noexcept : value_(std::exchange(other.value_, 0)) {}

ObjectTag& ObjectTag::operator=(ObjectTag&& other) noexcept {
  if (this != &other) {
    if (value_ != 0) {
      Allocator().Release(value_);
    }
    value_ = std::exchange(other.value_, 0);
  }
  return *this;
}

void ObjectTag::SetNextValueForTesting(uint32_t value) { Allocator().SetNext(value); }

}  // namespace talvenor
