// MD5 (RFC 1321) of a run of bytes, from the system's hashing library.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace talvenor {

using Md5Value = std::array<uint8_t, 16>;

// The MD5 digest of the bytes of `bytes`; nothing when the system's hashing
// service fails.
std::optional<Md5Value> Md5(std::string_view bytes);

}  // namespace talvenor
