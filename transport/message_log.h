// The SIP-LOG list: one record per logged datagram.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace talvenor {

// Appends "date<TAB>address:port<TAB>mark", a line of 48 "=", and the
// datagram exactly as received (the list is made with mode 0600 when new).
// False unless the whole record reached the file.
bool AppendLogRecord(const std::string& path, std::string_view dateText, std::string_view dottedSource,
                     uint16_t hostPort, std::string_view mark, std::string_view datagram);

}  // namespace talvenor
