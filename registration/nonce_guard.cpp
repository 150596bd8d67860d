#include "registration/nonce_guard.h"

#include <algorithm>
#include <random>

#include <fmt/format.h>

namespace talvenor {

namespace {

std::string DrawSecret() {
  std::random_device device;
  std::string hex;
  for (int word = 0; word < 4; ++word) hex += fmt::format("{:08x}", static_cast<uint32_t>(device()));
  return hex;
}

}  // namespace

const std::string& NonceSecret() {
  // Drawn once, thread-safe; never destroyed, as a receive thread may still
  // answer while a host that never shut the module down exits.
  static const std::string* secret = new std::string(DrawSecret());
  return *secret;
}

bool SpentNonces::Spend(std::string_view nonce, int64_t now) {
  ForgetOlderThan(now - kKeepSeconds);
  bool seen = std::any_of(spent_.begin(), spent_.end(), [nonce](const Spent& entry) { return entry.nonce == nonce; });
  if (seen || spent_.size() >= kCapacity) return false;
  spent_.push_back({now, std::string(nonce)});
  return true;
}

void SpentNonces::ForgetOlderThan(int64_t oldest) {
  while (!spent_.empty() && spent_.front().at < oldest) spent_.pop_front();
}

}  // namespace talvenor
