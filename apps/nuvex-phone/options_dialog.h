// The module's "SIP Options" sheet. It is shown on the phone's first thread,
// which the dialog toolkit takes for its own and must find alive until the
// process ends; the prompt, the calls' events and Ctrl-C go on on another
// thread while it is open, and how it closed is reported as an event.
#pragma once

#include <functional>

namespace nuvex {

// `options`: asks for the sheet, or says that it is open already.
void OpenOptionsDialog();
bool OptionsDialogOpen();
// On the phone's first thread: shows the sheet each time it is asked for,
// and runs what RunOnFirstThread hands it, until CloseOptionsDialog.
void ServeOptionsDialog();
// Runs `work` on the first thread and returns once it ran; on the calling
// thread when the first thread serves no more. The module starts there: on
// Windows its timer ticks through the messages of the thread that started it.
void RunOnFirstThread(const std::function<void()>& work);
// Closes an open sheet (without OK), waits for it, and ends
// ServeOptionsDialog; before the module shuts down.
void CloseOptionsDialog();

}  // namespace nuvex
