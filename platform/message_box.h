// Message boxes showing the module's string resources.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace talvenor {

enum class MessageIcon { Error, Warning, Information };

// The text of string resource `id` (1001 to 1026); empty for an unknown id.
std::string MessageText(int id);

// Shown when the settings could not be written to the profile at shutdown.
inline constexpr int kSettingsNotSavedMessage = 1023;
// Shown when a thread the module needs could not be started.
inline constexpr int kStartFailedMessage = 1024;
// Shown when a gateway field would hold a comma, which the stored accounts
// use to separate their fields, or a quote, which would end a quoted value
// of the Authorization line early.
inline constexpr int kGatewayCommaMessage = 1025;
// Shown when the display name would hold a quote or a backslash, which
// would break the quoted name of the From and To lines of every call.
inline constexpr int kDisplayNameQuoteMessage = 1026;

// Shows string resource `id` and returns when the user has seen it.
void ShowMessage(int id, MessageIcon icon);
// Shows a message of the dialog toolkit's own (a validation message), with
// id 0 for the backend.
void ShowToolkitMessage(const std::string& text, MessageIcon icon = MessageIcon::Warning);
// Shows it from a short-lived thread of its own, so that the caller (the timer
// or the receive thread) never waits for the user.
void ShowMessageDetached(int id, MessageIcon icon);
// Waits until every message shown by ShowMessageDetached has been handed to
// the backend.
void WaitForDetachedMessages();
// The same, giving up after `limit` (a message the user has not closed yet);
// true when none is left.
bool WaitForDetachedMessages(std::chrono::milliseconds limit);

// Where messages go. The default is the system's: a message box on Windows,
// the text on standard error prefixed with the module's name on Linux; tests
// record them, the dialogs show a window. An empty one restores the default.
using MessageBackend = std::function<void(int id, const std::string& text, MessageIcon icon)>;
void SetMessageBackend(MessageBackend backend);

// A dialog toolkit that shows message boxes while it runs: tried before the
// backend, it returns false when it is not running. An empty one removes it.
using MessageToolkit = std::function<bool(const std::string& text, MessageIcon icon)>;
void SetMessageToolkit(MessageToolkit toolkit);

}  // namespace talvenor
