// MD5 (RFC 1321) as the digest authentication uses it: text in, 32 lowercase
// hexadecimal digits out.
#pragma once

#include <array>
#include <string_view>

namespace talvenor {

class Md5Digest {
public:
  // Hashes the bytes of `text` from a fresh start and returns the digest as
  // lowercase hex. The view stays valid until the next use of this object.
  std::string_view Hex(std::string_view text);

private:
  std::array<char, 33> hex_{};
};

}  // namespace talvenor
