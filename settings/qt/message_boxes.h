// Message boxes of the dialog toolkit: icon 0 is an error, 1 a warning,
// 2 information.
#pragma once

#include <QApplication>
#include <string>

namespace talvenor::view {

// Shows the message modally over the active window; on the application's
// thread, returns when the user has closed it.
void ShowMessageBox(const std::string& text, int icon);
// Hands the message to the application's thread and returns at once. A
// message still waiting when the application goes is written on standard
// error. Call under ApplicationLock.
void PostMessageBox(QApplication& app, const std::string& text, int icon);

}  // namespace talvenor::view
