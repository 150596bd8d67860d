#include "platform/secure_random.h"

#include <nettle/chacha.h>

#include <array>
#include <cstring>
#include <mutex>
#include <random>

namespace talvenor {

namespace {

// A key stream rather than a plain generator: a peer that sees many of our
// numbers learns nothing about the next ones.
class KeyStream {
public:
  KeyStream() {
    std::random_device source;
    std::array<uint8_t, CHACHA_KEY_SIZE> key{};
    for (uint8_t& byte : key) byte = static_cast<uint8_t>(source());
    std::array<uint8_t, CHACHA_NONCE_SIZE> nonce{};
    chacha_set_key(&context_, key.data());
    chacha_set_nonce(&context_, nonce.data());
  }

  uint32_t Next() {
    std::scoped_lock lock(mutex_);
    if (used_ == block_.size()) {
      block_.fill(0);
      chacha_crypt(&context_, block_.size(), block_.data(), block_.data());
      used_ = 0;
    }
    uint32_t value;
    std::memcpy(&value, block_.data() + used_, sizeof value);
    used_ += sizeof value;
    return value;
  }

private:
  std::mutex mutex_;
  chacha_ctx context_{};
  std::array<uint8_t, 64> block_{};
  size_t used_ = 64;
};

}  // namespace

uint32_t SecureRandomNumber() {
  static KeyStream* stream = new KeyStream;  // outlives static destruction, as the tags do
  return stream->Next();
}

}  // namespace talvenor
