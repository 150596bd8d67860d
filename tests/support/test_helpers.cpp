#include "tests/support/test_helpers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "host/ccom.h"
#include "config/module_settings.h"
#include "platform/profile_store.h"
#include "tests/support/test_host.h"

extern "C" CCom* CreateCom();

namespace testhelp {

TempDir::TempDir() {
  std::string pattern = "/tmp/talvenor-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (old_) setenv(name_.c_str(), old_->c_str(), 1);
  else unsetenv(name_.c_str());
}

MessageRecorder::MessageRecorder() {
  talvenor::SetMessageBackend([this](int id, const std::string& text, talvenor::MessageIcon) {
    std::scoped_lock lock(mutex_);
    shown_.push_back({id, text});
  });
}

MessageRecorder::~MessageRecorder() {
  talvenor::WaitForDetachedMessages();
  talvenor::SetMessageBackend(nullptr);
}

std::vector<int> MessageRecorder::Ids() {
  talvenor::WaitForDetachedMessages();
  std::scoped_lock lock(mutex_);
  std::vector<int> ids;
  for (auto& shown : shown_) ids.push_back(shown.id);
  return ids;
}

std::vector<std::string> MessageRecorder::Texts() {
  talvenor::WaitForDetachedMessages();
  std::scoped_lock lock(mutex_);
  std::vector<std::string> texts;
  for (auto& shown : shown_) texts.push_back(shown.text);
  return texts;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

int RunInChild(const std::function<int()>& body, bool unprivileged) {
  std::fflush(nullptr);
  pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (unprivileged && geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
      _exit(98);
    }
    _exit(body());
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

uint16_t FreeUdpPort() {
  UdpPeer probe;
  return probe.Port();
}

UdpPeer::UdpPeer(uint32_t hostAddress) {
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(hostAddress);
  if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("cannot bind a test UDP socket");
  }
}

UdpPeer::~UdpPeer() {
  if (fd_ >= 0) close(fd_);
}

uint16_t UdpPeer::Port() const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

void UdpPeer::SendTo(uint16_t port, const std::string& datagram) const {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

std::optional<std::string> UdpPeer::Receive(std::chrono::milliseconds timeout) const {
  pollfd ready{fd_, POLLIN, 0};
  if (poll(&ready, 1, static_cast<int>(timeout.count())) <= 0) return std::nullopt;
  std::string buffer(65536, '\0');
  ssize_t length = recv(fd_, buffer.data(), buffer.size(), 0);
  if (length < 0) return std::nullopt;
  buffer.resize(static_cast<size_t>(length));
  return buffer;
}

std::vector<std::string> UdpPeer::ReceiveAll(std::chrono::milliseconds window) const {
  std::vector<std::string> all;
  auto end = std::chrono::steady_clock::now() + window;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    if (auto datagram = Receive(left)) all.push_back(*datagram);
  }
  return all;
}

void UdpPeer::Drain() const {
  char buffer[64];  // what does not fit is dropped with the rest
  while (recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT) >= 0) {
  }
}

std::string PadTo(std::string message, size_t size) {
  // Inserted after the start line, where it is just one more header.
  size_t lineEnd = message.find("\r\n");
  if (lineEnd == std::string::npos || message.size() >= size) return message;
  size_t padding = size - message.size();
  std::string header = "X-Pad: ";
  if (padding < header.size() + 3) padding = header.size() + 3;
  header += std::string(padding - header.size() - 2, 'p') + "\r\n";
  message.insert(lineEnd + 2, header);
  return message;
}

RunningModule::RunningModule(const std::vector<std::pair<std::string, std::string>>& profileEntries) {
  xdg_.emplace("XDG_CONFIG_HOME", config_.Path());
  testhost::SetDataDirectory(data_.Path());
  talvenor::RestoreDefaultSettings();
  bool portGiven = false;
  for (const auto& [entry, value] : profileEntries) {
    talvenor::ModuleProfile().WriteString(entry, value);
    portGiven = portGiven || entry == "Port";
  }
  if (!portGiven) {
    sipPort_ = FreeUdpPort();
    talvenor::ModuleProfile().WriteString("Port", "0,0," + std::to_string(sipPort_));
  }
  talvenor::Settings().BindAddress = htonl(INADDR_LOOPBACK);
  module_ = CreateCom();
  started_ = module_ != nullptr;
  if (portGiven) sipPort_ = talvenor::Settings().SipPort;
}

RunningModule::~RunningModule() { Shutdown(); }

void RunningModule::Shutdown() {
  if (!started_) return;
  started_ = false;
  module_->Shutdown();
}

}  // namespace testhelp
