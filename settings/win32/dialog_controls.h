// Small accessors for the controls of a dialog or property page, by control
// id, with text in UTF-8. A missing control reads as empty or unticked.
#pragma once

#include <windows.h>

#include <string>

namespace talvenor::view {

std::string ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const std::string& text);
bool IsTicked(HWND dialog, int id);
void SetTicked(HWND dialog, int id, bool ticked);
void EnableControl(HWND dialog, int id, bool enabled);
// Lets an edit control (or a combo box's edit) take at most `limit` characters.
void LimitText(HWND dialog, int id, int limit);
// Moves the focus to the control once the current message is done, the way
// the dialog manager does for Tab, so that an edit's text is selected.
void FocusControl(HWND dialog, int id);

}  // namespace talvenor::view
