#include "platform/md5.h"

#include <nettle/md5.h>

namespace talvenor {

std::optional<Md5Value> Md5(std::string_view bytes) {
  static_assert(MD5_DIGEST_SIZE == Md5Value().size());
  md5_ctx context;
  md5_init(&context);
  md5_update(&context, bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data()));
  Md5Value digest{};
  md5_digest(&context, digest.size(), digest.data());
  return digest;
}

}  // namespace talvenor
