// UTF-8 text, as the module keeps it, to and from the UTF-16 of the
// system's wide-character calls.
#pragma once

#include <string>
#include <string_view>

namespace talvenor {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

}  // namespace talvenor
