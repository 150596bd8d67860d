// What the user may type as a call's target, and what the module is handed:
// "user@host[:port]", "host" or "number@" as they are, and SIP addresses as
// other phones print them ("sip:bob@host:5072", "\"Bob\" <sip:bob@host>",
// "sip:bob@host;transport=udp"), which the module would otherwise take for a
// user called "sip:bob".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nuvex {

// The target without its display name, angle brackets, "sip:" scheme, URI
// parameters and headers. Nothing, with the reason in `why`, for an empty
// target, an unclosed '<' or a scheme other than sip (the module speaks SIP
// over UDP alone).
std::optional<std::string> ModuleTarget(std::string_view typed, std::string& why);

}  // namespace nuvex
