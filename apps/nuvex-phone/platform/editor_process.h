#pragma once

#include <string>

namespace nuvex {

// Runs the user's editor command on the file through the shell and waits
// until it ends. The path travels as an argument, never as part of the
// shell's text.
void RunEditor(const std::string& editor, const std::string& path);

}  // namespace nuvex
