// What keeps the server's digest nonces from being forged or used twice: a
// secret of the process that every nonce hashes, and the record of nonces
// that have already let an INVITE through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace talvenor {

// 128 bits from std::random_device as 32 lowercase hex digits, drawn the
// first time anyone asks and the same for the rest of the process.
const std::string& NonceSecret();

// The nonces of accepted INVITEs, each kept a little longer than the 4
// seconds its window lasts, so that a captured answer cannot ring the host a
// second time. Bounded: when full of nonces still in their window, it takes
// no more and Spend refuses, so a flood cannot grow it.
class SpentNonces {
public:
  static constexpr int64_t kKeepSeconds = 8;
  static constexpr size_t kCapacity = 1024;

  // True, and the nonce recorded, when it has not been spent before at
  // calendar time `now`; false for a second use, or while the record is full.
  bool Spend(std::string_view nonce, int64_t now);
  size_t Size() const { return spent_.size(); }

private:
  struct Spent {
    int64_t at;
    std::string nonce;
  };
  void ForgetOlderThan(int64_t oldest);

  std::deque<Spent> spent_;  // in the order spent, oldest first
};

}  // namespace talvenor
