#pragma once

#include <string>

namespace nuvex {

// The user's editor command: $VISUAL, else $EDITOR; where the system has an
// editor of its own, that one when neither is set. Empty when there is none.
std::string UserEditor();

// Runs the user's editor command on the file and waits until it ends. On
// Linux the command runs through the shell and the path travels as an
// argument, never as part of the shell's text; on Windows the path, in
// quotes, follows the command.
void RunEditor(const std::string& editor, const std::string& path);

}  // namespace nuvex
