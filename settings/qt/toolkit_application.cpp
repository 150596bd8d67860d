#include "settings/qt/toolkit_application.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QThread>

#include <cstdlib>
#include <string>

#include "settings/qt/platform/display_probes.h"

namespace talvenor::view {

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// The compositor's socket, and the toolkit's plugin to speak to it (a
// separate package, often missing).
bool WaylandAnswers(const std::string& name) {
  QString plugin = QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms/libqwayland-generic.so";
  if (!QFileInfo::exists(plugin)) return false;
  if (name.front() == '/') return LocalSocketAnswers(name, false);
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime != nullptr && LocalSocketAnswers(std::string(runtime) + "/" + name, false);
}

}  // namespace

std::mutex& ApplicationLock() {
  static std::mutex lock;
  return lock;
}

QApplication* RunningApplication() { return qobject_cast<QApplication*>(QCoreApplication::instance()); }

bool OnApplicationThread(const QCoreApplication& app) { return QThread::currentThread() == app.thread(); }

std::string WhyNoDisplay() {
  // A toolkit that cannot reach its display ends the whole process, calls
  // and all: the display is tried here first.
  if (IsSet("QT_QPA_PLATFORM")) return {};
  if (IsSet("WAYLAND_DISPLAY") && WaylandAnswers(std::getenv("WAYLAND_DISPLAY"))) return {};
  if (IsSet("DISPLAY") && XServerAcceptsUs(std::getenv("DISPLAY"))) return {};
  if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY")) return "the display cannot be reached";
  return "no display (DISPLAY and WAYLAND_DISPLAY are not set)";
}

std::unique_ptr<QApplication> MakeApplication() {
  // QApplication keeps references to both for its whole life.
  static int argc = 1;
  static char name[] = "talvenor";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QApplication>(argc, argv);
}

}  // namespace talvenor::view
