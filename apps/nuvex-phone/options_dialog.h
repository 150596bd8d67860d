// The module's "SIP Options" sheet, shown from a thread of its own: the
// prompt, the calls' events and Ctrl-C go on while it is open, and how it
// closed is reported as an event.
#pragma once

namespace nuvex {

// `options`: shows the sheet, or says that it is open already.
void OpenOptionsDialog();
bool OptionsDialogOpen();
// Closes an open sheet (without OK) and waits for its thread; before the
// module shuts down.
void CloseOptionsDialog();

}  // namespace nuvex
