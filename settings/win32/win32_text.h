// Text between the pages' forms (UTF-8 std::string) and the controls
// (UTF-16). Text that is not valid UTF-8 or UTF-16 becomes empty.
#pragma once

#include <string>

namespace talvenor::view {

std::wstring ToWide(const std::string& text);
std::string FromWide(const std::wstring& text);

}  // namespace talvenor::view
