// The two environment variables the module reads when it is loaded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace talvenor {

// "NUVEX_SIPADDR": an unsigned hexadecimal IPv4 address, optional "0x",
// reading up to the first non-hex character; network order. "C0A80105" is
// 192.168.1.5.
uint32_t ParseSipAddressVariable(const std::string& text);
// "NUVEX_SIPCON": a decimal line count; unset, below 1 or above 4 gives 4.
int ParseLineCountVariable(const std::optional<std::string>& text);

std::optional<std::string> EnvironmentVariable(const char* name);

}  // namespace talvenor
