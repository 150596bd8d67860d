#include "tests/support/test_helpers.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "host/ccom.h"
#include "config/module_settings.h"
#include "platform/periodic_timer.h"
#include "platform/profile_store.h"
#include "sip/random_number.h"
#include "tests/support/test_host.h"

extern "C" CCom* CreateCom();

namespace testhelp {

TempDir::TempDir() {
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    auto candidate = std::filesystem::temp_directory_path() /
                     ("talvenor-test-" + std::to_string(talvenor::RandomNumber()));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) path_ = candidate.generic_string();
  }
  if (path_.empty()) throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
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

uint16_t FreeUdpPort() {
  UdpPeer probe;
  return probe.Port();
}

UdpPeer::UdpPeer(uint32_t hostAddress) {
  if (!socket_.Open() || !socket_.Bind({talvenor::NetworkAddress(hostAddress), 0})) {
    throw std::runtime_error("cannot bind a test UDP socket");
  }
}

UdpPeer::~UdpPeer() = default;

uint16_t UdpPeer::Port() const { return talvenor::HostPort(socket_.LocalEndpoint().port); }

void UdpPeer::SendTo(uint16_t port, const std::string& datagram) const {
  socket_.SendTo(datagram, {talvenor::LoopbackAddress(), talvenor::NetworkPort(port)});
}

std::optional<std::string> UdpPeer::Receive(std::chrono::milliseconds timeout) const {
  auto end = std::chrono::steady_clock::now() + timeout;
  std::string buffer(65536, '\0');
  for (;;) {
    // A module started on this thread gets its timer ticks while it waits
    // here, as a host's message loop would give them (Windows).
    talvenor::PeriodicTimer::RunDueCalls();
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    int slice = static_cast<int>(std::clamp<long long>(left.count(), 0, 50));
    auto received = socket_.Receive(buffer, slice);
    if (received.status == talvenor::UdpSocket::ReceiveStatus::Datagram) {
      buffer.resize(received.copied);
      return buffer;
    }
    if (received.status != talvenor::UdpSocket::ReceiveStatus::TimedOut &&
        received.status != talvenor::UdpSocket::ReceiveStatus::TransientError) {
      return std::nullopt;
    }
    if (left.count() <= 0) return std::nullopt;
  }
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
  while (socket_.Receive(buffer, 0).status == talvenor::UdpSocket::ReceiveStatus::Datagram) {
  }
}

bool OtherLoopbackSourcesWork() {
  static const bool works = [] {
    talvenor::UdpSocket receiver;
    if (!receiver.Open() || !receiver.Bind({talvenor::LoopbackAddress(), 0})) return false;
    UdpPeer other(0x7f000002);
    other.SendTo(talvenor::HostPort(receiver.LocalEndpoint().port), "probe");
    char buffer[16];
    auto received = receiver.Receive(buffer, 2000);
    return received.status == talvenor::UdpSocket::ReceiveStatus::Datagram &&
           received.source.address == talvenor::NetworkAddress(0x7f000002);
  }();
  return works;
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
  profile_.emplace(config_.Path());
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
  talvenor::Settings().BindAddress = talvenor::LoopbackAddress();
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
