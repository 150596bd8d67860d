// Text between the phone (UTF-8 in std::string) and the Windows functions
// that take and give UTF-16.
#pragma once

#include <string>

namespace nuvex {

// Invalid sequences become U+FFFD either way.
std::wstring WideText(const std::string& utf8);
std::string Utf8Text(const wchar_t* wide, size_t length);
std::string Utf8Text(const std::wstring& wide);

// The system's message for an error code (GetLastError, a WinSock or
// sound error), without the line end it carries.
std::string SystemErrorText(unsigned long code);

}  // namespace nuvex
