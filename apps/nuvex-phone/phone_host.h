// The phone's side of the host interface: where list files live and what it
// tells the user about them.
#pragma once

#include <string>

namespace nuvex {

// Folder where AddSystemPath puts the SIP-*.txt lists.
void SetDataDirectory(const std::string& folder);
std::string DataDirectory();
// The calling thread reads the commands: only it may hand the terminal to
// an editor.
void SetCommandThread();
// Set once the phone is closing: new calls are then refused.
void SetClosing(bool closing);

}  // namespace nuvex
