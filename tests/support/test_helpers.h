// Shared pieces for the tests: temporary folders, environment, a recording
// message box, UDP peers on 127.0.0.1 and a module started on a free port.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/endpoint.h"
#include "platform/message_box.h"
#include "platform/udp_socket.h"

class CCom;

namespace testhelp {

// A fresh folder in the temporary folder, removed with everything in it at the end.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();

private:
  std::string name_;
  std::optional<std::string> old_;
};

// Gives the module a profile of its own, empty, for the life of the object:
// in `folder` on Linux (XDG_CONFIG_HOME), a cleared registry key on Windows.
class ScopedProfile {
public:
  explicit ScopedProfile(const std::string& folder);
  ~ScopedProfile();

private:
  std::optional<ScopedEnv> environment_;
};

// Records every message box instead of showing it.
class MessageRecorder {
public:
  MessageRecorder();
  ~MessageRecorder();
  // Message ids shown so far (waits for detached message threads first).
  std::vector<int> Ids();
  std::vector<std::string> Texts();

private:
  struct Shown {
    int id;
    std::string text;
  };
  std::mutex mutex_;
  std::vector<Shown> shown_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);

// Runs `body` in a child process and returns the status it exits with (-1
// when it did not exit). With `unprivileged`, a child running as root first
// becomes the user nobody, for whom file modes and process limits hold.
int RunInChild(const std::function<int()>& body, bool unprivileged = false);
// The uid and gid the unprivileged child runs as.
inline constexpr unsigned kNobody = 65534;

// A UDP port on 127.0.0.1 that was free a moment ago (host order).
uint16_t FreeUdpPort();

// A UDP socket on 127.0.0.1 for talking to the module.
class UdpPeer {
public:
  // Bound to a free port of 127.0.0.1, or of another loopback address
  // (host order, e.g. 0x7f000002 for 127.0.0.2).
  explicit UdpPeer(uint32_t hostAddress = 0x7f000001);
  ~UdpPeer();
  UdpPeer(const UdpPeer&) = delete;
  UdpPeer& operator=(const UdpPeer&) = delete;
  uint16_t Port() const;  // host order
  void SendTo(uint16_t port, const std::string& datagram) const;
  // The next datagram within the timeout, or nothing.
  std::optional<std::string> Receive(std::chrono::milliseconds timeout) const;
  // Every datagram that arrives within the window.
  std::vector<std::string> ReceiveAll(std::chrono::milliseconds window) const;
  // Drops every datagram already waiting, without waiting for more.
  void Drain() const;

private:
  talvenor::UdpSocket socket_;
};

// Whether a socket bound to another loopback address (127.0.0.2) sends from
// that address. Wine sends from 127.0.0.1 whatever loopback address the
// socket has, so there every peer looks like the one on 127.0.0.1.
bool OtherLoopbackSourcesWork();

// Pads a SIP message with a header so that it is at least `size` bytes long.
std::string PadTo(std::string message, size_t size);

// Starts the module with a profile in a temporary folder and the test host's
// lists in another, on a free SIP port; shuts it down at the end.
class RunningModule {
public:
  explicit RunningModule(const std::vector<std::pair<std::string, std::string>>& profileEntries = {});
  ~RunningModule();
  bool Started() const { return started_; }
  uint16_t SipPort() const { return sipPort_; }
  const TempDir& Config() const { return config_; }
  const TempDir& Data() const { return data_; }
  void Shutdown();

private:
  TempDir config_;
  TempDir data_;
  std::optional<ScopedProfile> profile_;
  uint16_t sipPort_ = 0;
  bool started_ = false;
  CCom* module_ = nullptr;
};

}  // namespace testhelp
