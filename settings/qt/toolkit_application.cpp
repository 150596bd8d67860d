#include "settings/qt/toolkit_application.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QThread>

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstddef>
#include <cstring>
#include <string>

namespace talvenor::view {

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

bool ConnectsTo(int family, const sockaddr* address, socklen_t length) {
  int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool connected = connect(fd, address, length) == 0;
  close(fd);
  return connected;
}

// A local socket by path; with `abstract`, the same name in Linux's
// abstract namespace, where X servers listen too.
bool LocalSocketAnswers(const std::string& path, bool abstract) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  size_t offset = abstract ? 1 : 0;
  if (path.size() + offset >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path + offset, path.data(), path.size());
  auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));
  return ConnectsTo(AF_UNIX, reinterpret_cast<sockaddr*>(&address), length);
}

// Connects to the X server the way the toolkit's xcb plugin will, through
// the same library, authorization included: a server that only accepts the
// socket but refuses the client would otherwise abort the process. The
// library is the one the plugin itself needs; without it there is no X.
bool XServerAcceptsUs(const std::string& display) {
  void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (xcb == nullptr) return false;
  using Connect = void* (*)(const char*, int*);
  using HasError = int (*)(void*);
  using Disconnect = void (*)(void*);
  auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
  auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
  auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
  bool accepted = false;
  if (connect != nullptr && hasError != nullptr && disconnect != nullptr) {
    void* connection = connect(display.c_str(), nullptr);
    accepted = connection != nullptr && hasError(connection) == 0;
    if (connection != nullptr) disconnect(connection);  // frees an error connection too
  }
  dlclose(xcb);
  return accepted;
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
