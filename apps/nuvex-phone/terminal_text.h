// Text from the network (a caller's name, a peer's host name) made safe to
// print on a terminal: nothing in it can move the cursor, clear the screen,
// retitle the window or end the line.
#pragma once

#include <string>
#include <string_view>

namespace nuvex {

// Each control character (C0, DEL, and C1 whether sent as UTF-8 or as a lone
// byte) and each byte that is not part of well-formed UTF-8 becomes '?';
// other characters are kept as they are.
std::string PrintableText(std::string_view text);

}  // namespace nuvex
