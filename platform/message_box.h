// Message boxes showing the module's string resources.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace talvenor {

enum class MessageIcon { Error, Warning, Information };

// The text of string resource `id` (1001 to 1024); empty for an unknown id.
std::string MessageText(int id);

// Shown when the settings could not be written to the profile at shutdown.
inline constexpr int kSettingsNotSavedMessage = 1023;
// Shown when a thread the module needs could not be started.
inline constexpr int kStartFailedMessage = 1024;

// Shows string resource `id` and returns when the user has seen it.
void ShowMessage(int id, MessageIcon icon);
// Shows it from a short-lived thread of its own, so that the caller (the timer
// or the receive thread) never waits for the user.
void ShowMessageDetached(int id, MessageIcon icon);
// Waits until every message shown by ShowMessageDetached has been handed to
// the backend.
void WaitForDetachedMessages();
// The same, giving up after `limit` (a message the user has not closed yet);
// true when none is left.
bool WaitForDetachedMessages(std::chrono::milliseconds limit);

// Where messages go. The default writes the text on standard error, prefixed
// with the module's name; tests record them, the dialogs show a window.
using MessageBackend = std::function<void(int id, const std::string& text, MessageIcon icon)>;
void SetMessageBackend(MessageBackend backend);

}  // namespace talvenor
