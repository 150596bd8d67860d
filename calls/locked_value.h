// A value that several threads of a call share, behind a lock of its own:
// read whole as a copy, changed by one function that sees it under the lock.
// The lock is held for the copy or the change alone, so it is never held
// while the host is called or a datagram goes out.
#pragma once

#include <mutex>
#include <utility>

namespace talvenor {

template <typename Value>
class LockedValue {
public:
  LockedValue() = default;
  explicit LockedValue(Value value) : value_(std::move(value)) {}
  LockedValue(const LockedValue&) = delete;
  LockedValue& operator=(const LockedValue&) = delete;

  Value Snapshot() const {
    std::scoped_lock lock(mutex_);
    return value_;
  }
  // Runs `read` on the value under the lock and returns what it returns: a
  // look at a field or two without copying the whole value.
  template <typename Reader>
  decltype(auto) Read(Reader&& read) const {
    std::scoped_lock lock(mutex_);
    return std::forward<Reader>(read)(std::as_const(value_));
  }
  void Replace(Value value) {
    std::scoped_lock lock(mutex_);
    value_ = std::move(value);
  }
  // Runs `change` on the value under the lock and returns what it returns.
  // `change` must not call the host, send, or take another line's lock.
  template <typename Change>
  decltype(auto) Update(Change&& change) {
    std::scoped_lock lock(mutex_);
    return std::forward<Change>(change)(value_);
  }

private:
  mutable std::mutex mutex_;
  Value value_;
};

}  // namespace talvenor
