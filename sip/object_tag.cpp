#include "sip/object_tag.h"

#include <mutex>
#include <random>
#include <unordered_set>
#include <utility>

namespace talvenor {
namespace {

// One counter for the whole process, started at a random point so that two
// runs of the module do not repeat each other's tags and branches. It counts
// up, wraps past the top, and skips 0 and every number a live tag holds.
class TagAllocator {
public:
  TagAllocator() : next_(std::random_device{}()) {}

  uint32_t Take() {
    std::scoped_lock lock(mutex_);
    // Terminates while fewer than 2^32 - 1 tags are alive, which the few
    // call lines and accounts of a process never approach.
    while (next_ == 0 || live_.contains(next_)) {
      ++next_;
    }
    uint32_t value = next_++;
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
  uint32_t next_;
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
