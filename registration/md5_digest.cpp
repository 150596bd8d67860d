#include "registration/md5_digest.h"

#include <nettle/md5.h>

namespace talvenor {

std::string_view Md5Digest::Hex(std::string_view text) {
  md5_ctx context;
  md5_init(&context);
  md5_update(&context, text.size(), reinterpret_cast<const uint8_t*>(text.data()));
  std::array<uint8_t, MD5_DIGEST_SIZE> digest{};
  md5_digest(&context, digest.size(), digest.data());
  static constexpr char kDigits[] = "0123456789abcdef";
  for (size_t index = 0; index < digest.size(); ++index) {
    hex_[2 * index] = kDigits[digest[index] >> 4];
    hex_[2 * index + 1] = kDigits[digest[index] & 0x0f];
  }
  hex_[32] = '\0';
  return std::string_view(hex_.data(), 32);
}

}  // namespace talvenor
