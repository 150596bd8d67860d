#include "registration/md5_digest.h"

#include "platform/md5.h"

namespace talvenor {

std::string_view Md5Digest::Hex(std::string_view text) {
  std::optional<Md5Value> digest = Md5(text);
  // No digest: an empty answer, which no peer accepts as credentials.
  if (!digest) {
    hex_[0] = '\0';
    return {};
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  for (size_t index = 0; index < digest->size(); ++index) {
    hex_[2 * index] = kDigits[(*digest)[index] >> 4];
    hex_[2 * index + 1] = kDigits[(*digest)[index] & 0x0f];
  }
  hex_[32] = '\0';
  return std::string_view(hex_.data(), 32);
}

}  // namespace talvenor
