#include "platform/environment.h"

#include <cstdlib>

#include "platform/endpoint.h"

namespace talvenor {

uint32_t ParseSipAddressVariable(const std::string& text) {
  // strtoul with base 16 accepts the optional "0x" and stops at the first
  // character that is not a hex digit, as the value is specified.
  unsigned long long value = std::strtoull(text.c_str(), nullptr, 16);
  return NetworkAddress(static_cast<uint32_t>(value));
}

int ParseLineCountVariable(const std::optional<std::string>& text) {
  int count = 4;
  if (text) count = static_cast<int>(std::strtol(text->c_str(), nullptr, 10));
  return (count < 1 || count > 4) ? 4 : count;
}

std::optional<std::string> EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace talvenor
