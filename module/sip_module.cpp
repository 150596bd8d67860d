#include "module/sip_module.h"

#include <algorithm>
#include <chrono>

#include "calls/call_line.h"
#include "module/g729_library.h"
#include "module/module_settings.h"
#include "module/no_throw.h"
#include "platform/message_box.h"
#include "platform/sockets_library.h"
#include "registration/gateway_accounts.h"
#include "settings/address_settings.h"
#include "settings/gateway_settings.h"
#include "settings/register_settings.h"
#include "settings/voip_settings.h"
#include "sip/sip_message.h"
#include "transport/receive_loop.h"

namespace talvenor {

namespace {
constexpr std::chrono::milliseconds kTimerInterval{888};
}  // namespace

SipModule& TheModule() {
  static SipModule* module = new SipModule;  // lives as long as the library
  return *module;
}

std::mutex& PeerLookupLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

CCom* SipModule::Start() {
  std::scoped_lock lifecycle(lifecycleMutex_);
  if (running_) return this;  // already started: the host gets the same object

  LoadG729Library(DefaultG729Candidates());
  running_ = 1;
  highestLine_ = 0;
  lines_ = {};
  if (!StartSocketsLibrary()) {
    Fail(1001);
    return nullptr;
  }
  LoadAddressSettings();
  if (!socket_.Open()) {
    Fail(1006);
    return nullptr;
  }
  ModuleSettings& settings = Settings();
  if (!socket_.Bind({settings.BindAddress, NetworkPort(settings.SipPort)})) {
    Fail(1007);
    return nullptr;
  }
  LoadRegisterSettings();
  LoadGatewaySettings();
  LoadVoipSettings();
  timerId_ = timer_.Start(kTimerInterval, [this] { TimerProcedure(); });
  receiveThreadActive_ = true;
  try {
    receiveThread_ = std::thread([this] { ReceiveThreadProcedure(); });
  } catch (...) {
    receiveThreadActive_ = false;  // the module still runs, deaf
  }
  return this;
}

void SipModule::Fail(int messageId) {
  running_ = 0;
  socket_.Close();
  CleanUpSocketsLibrary();
  ShowMessage(messageId, MessageIcon::Error);
}

void SipModule::ReceiveThreadProcedure() {
  ReceiveLoop loop(*this);
  loop.Run();
  receiveThreadActive_ = false;
}

void SipModule::Shutdown() {
  Guarded([this] {
    std::scoped_lock lifecycle(lifecycleMutex_);
    if (!running_) return;
    timer_.Stop();
    timerId_ = 0;
    running_ = 0;
    StopReceiveThread();
    CleanUpSocketsLibrary();
    bool saved = SaveGatewaySettings();
    saved = SaveAddressSettings() && saved;
    saved = SaveRegisterSettings() && saved;
    saved = SaveVoipSettings() && saved;
    FreeG729Library();
    // Settings reach the profile only here: a failure must not pass unseen.
    if (!saved) ShowMessage(kSettingsNotSavedMessage, MessageIcon::Error);
  });
}

void SipModule::StopReceiveThread() {
  // Closing a socket does not wake a blocked receive on Linux: wake it, wait
  // for the thread, and only then close the socket.
  socket_.Wake();
  if (receiveThread_.joinable()) receiveThread_.join();
  socket_.Close();
}

void SipModule::TimerProcedure() {
  std::scoped_lock lock(moduleLock_);
  TickCallLines();
  SendDueRegisters();
}

void SipModule::HandleDatagram(std::string_view text, const Ipv4Endpoint& source) {
  SipMessage message(text, source.address, source.port);
  Dispatch(message);
}

void SipModule::TickCallLines() {
  for (int index = 0; index <= highestLine_ && index < kMaxLines; ++index) {
    // The line may be released from inside its own tick; keep it alive.
    if (std::shared_ptr<CallLine> line = lines_[index]) line->Tick();
  }
}

bool SipModule::AttachLine(int index, std::shared_ptr<CallLine> line) {
  std::scoped_lock lock(moduleLock_);
  if (index < 0 || index >= Settings().LineCount || lines_[index]) return false;
  lines_[index] = std::move(line);
  highestLine_ = std::max(highestLine_, index);
  return true;
}
void SipModule::SendDueRegisters() {
  for (auto& account : GatewayAccounts()) {
    if (account) account->SendRegister();
  }
}


long SipModule::Send(std::span<const char> bytes, const Ipv4Endpoint& destination) const {
  if (sendCapture_) {
    sendCapture_(std::string_view(bytes.data(), bytes.size()), destination);
    return static_cast<long>(bytes.size());
  }
  return socket_.SendTo(bytes, destination);
}

Ipv4Endpoint SipModule::SipEndpoint() const { return socket_.LocalEndpoint(); }

bool SipModule::ReceiveThreadRunning() const { return receiveThreadActive_; }

}  // namespace talvenor
