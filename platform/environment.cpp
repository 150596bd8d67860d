#include "platform/environment.h"

#include <cerrno>
#include <cstdlib>

#include "platform/endpoint.h"

namespace talvenor {

uint32_t ParseSipAddressVariable(const std::string& text) {
  // The variable holds the address as hex, with or without "0x"; strtoull
  // with base 16 takes either form and ignores anything after the digits.
  // A value beyond 32 bits is no address: it binds to all of them rather
  // than to whatever its low digits happen to name.
  errno = 0;
  unsigned long long value = std::strtoull(text.c_str(), nullptr, 16);
  if (errno == ERANGE || value > 0xffffffffull || text.find('-') != std::string::npos) return 0;
  return NetworkAddress(static_cast<uint32_t>(value));
}

int ParseLineCountVariable(const std::optional<std::string>& text) {
  if (!text) return 4;
  // Compared before any narrowing: "4294967298" must not wrap to 2.
  long long count = std::strtoll(text->c_str(), nullptr, 10);
  return (count < 1 || count > 4) ? 4 : static_cast<int>(count);
}

}  // namespace talvenor
