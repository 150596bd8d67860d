// The system's own way of showing a message, used when no backend was set:
// platform/message_box.cpp and platform/win32/message_box.cpp each define it.
#pragma once

#include <string>

#include "platform/message_box.h"

namespace talvenor {

// Shows `text` and returns when the user has seen it (on Linux: writes it on
// standard error).
void ShowSystemMessage(int id, const std::string& text, MessageIcon icon);

}  // namespace talvenor
