// The QApplication the dialogs run under: the host's, or one the plugin
// makes on the caller's thread for a sheet's run when the host has none.
#pragma once

#include <QApplication>
#include <memory>
#include <mutex>
#include <string>

namespace talvenor::view {

// Held while an application of ours is made or destroyed and while another
// thread looks at the running one (to post to it), so that it cannot go
// in between.
std::mutex& ApplicationLock();

// The running QApplication; null when there is none or the running
// application has no widgets. Call under ApplicationLock.
QApplication* RunningApplication();
bool OnApplicationThread(const QCoreApplication& app);

// Why no application can be made here (making one without a display ends
// the process); empty when one can.
std::string WhyNoDisplay();

// An application of our own on the caller's thread. Make and destroy it
// under ApplicationLock.
std::unique_ptr<QApplication> MakeApplication();

}  // namespace talvenor::view
