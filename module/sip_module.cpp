#include "module/sip_module.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "calls/call_line.h"
#include "calls/line_threads.h"
#include "media/g729_library.h"
#include "config/module_settings.h"
#include "calls/peer_lookup.h"
#include "module/g729_probe.h"
#include "module/no_throw.h"
#include "platform/message_box.h"
#include "platform/shared_library.h"
#include "platform/sockets_library.h"
#include "registration/gateway_routes.h"
#include "settings/address_settings.h"
#include "settings/gateway_settings.h"
#include "settings/options_logic.h"
#include "settings/register_settings.h"
#include "settings/voip_settings.h"
#include "sip/sip_message.h"
#include "transport/receive_loop.h"

namespace talvenor {

namespace {

constexpr std::chrono::milliseconds kTimerInterval{888};
// How long a thread that wants ModuleLock sleeps before it looks again
// whether the module is stopping.
constexpr std::chrono::microseconds kLockRetryPause{500};
// Shutdown waits this long at most for message threads still showing text,
// and as long again for a name lookup under way.
constexpr std::chrono::seconds kMessageDrainLimit{2};
// A shutdown gives the calls' closing BYEs and CANCELs their six repeats
// (3 s) and the accounts their unregistration, together, within this.
constexpr std::chrono::milliseconds kClosingLimit{3500};
std::atomic<int> libraryKeptLoaded{0};
constexpr std::chrono::milliseconds kClosingPoll{20};

// Set on the timer thread: a shutdown in progress may be waiting for it, as
// for the receive and line threads, so it must never wait for it in turn.
thread_local bool onModuleThread = false;

}  // namespace

SipModule::SipModule() { SetOptionsModule(gateways_, Settings()); }

SipModule& TheModule() {
  static SipModule* module = new SipModule;  // lives as long as the library
  return *module;
}

CCom* SipModule::Start() {
  {
    std::unique_lock lock(lifeMutex_);
    if (!AwaitSettledLife(lock)) {
      // Called back from the very thread a shutdown in progress waits for.
      ShowMessageDetached(kStartFailedMessage, MessageIcon::Error);
      return nullptr;
    }
    if (life_ == Life::Running) return this;  // already started: the host gets the same object
    life_ = Life::Starting;
  }
  int failure = StartRun();
  SetLife(failure == 0 ? Life::Running : Life::Stopped);
  if (failure != 0) {
    ShowMessage(failure, MessageIcon::Error);
    return nullptr;
  }
  return this;
}

bool SipModule::AwaitSettledLife(std::unique_lock<std::mutex>& lock) {
  while (life_ == Life::Starting || life_ == Life::Stopping) {
    if (life_ == Life::Stopping && (onModuleThread || SipSocket::OnReceiveThread() || OnLineThread())) return false;
    lifeChanged_.wait(lock);
  }
  return true;
}

void SipModule::SetLife(Life life) {
  {
    std::scoped_lock lock(lifeMutex_);
    life_ = life;
  }
  lifeChanged_.notify_all();
}

int SipModule::StartRun() {
  try {
    ProbeG729Library(DefaultG729Candidates());
    {
      std::scoped_lock lock(moduleLock_, slotsMutex_);
      highestLine_ = 0;
      lines_ = {};
      guesses_.Clear();
    }
    closing_ = false;
    if (!StartSocketsLibrary()) return AbandonStart(1001);
    if (!SocketsLibraryHasVersion22()) return AbandonStart(1002);
    ModuleSettings& settings = Settings();
    LoadAddressSettings(settings);
    switch (sipSocket_.Open({settings.BindAddress, NetworkPort(settings.SipPort)})) {
      case SipSocket::OpenResult::NotOpened: return AbandonStart(1006);
      case SipSocket::OpenResult::NotBound: return AbandonStart(1007);
      case SipSocket::OpenResult::Opened: break;
    }
    LoadRegisterSettings(settings);
    {
      std::scoped_lock lock(moduleLock_);
      LoadGatewaySettings(settings, gateways_);
    }
    LoadVoipSettings(settings);
    running_ = 1;
    timerId_ = timer_.Start(kTimerInterval, [this] {
      // Where the ticks come on the host's own thread (Windows), that thread
      // is the module's only while the procedure runs.
      bool wasModuleThread = std::exchange(onModuleThread, true);
      TimerProcedure();
      onModuleThread = wasModuleThread;
    });
    registrations_.StartWriter();
    sipSocket_.StartReceiving(*this, CurrentTrafficGuardSettings);
    return 0;
  } catch (...) {
    // A thread that could not be started, or memory that ran out: a module
    // without its timer or receive thread would look alive and hear nothing.
    return AbandonStart(kStartFailedMessage);
  }
}

int SipModule::AbandonStart(int messageId) {
  running_ = 0;
  Guarded([this] {
    timer_.Stop();
    sipSocket_.Close();
    registrations_.StopWriter();
    {
      std::scoped_lock lock(moduleLock_);
      gateways_.DestroyAll();
    }
    CleanUpSocketsLibrary();
    WithdrawG729Library();
  });
  return messageId;
}

void SipModule::Shutdown() {
  Guarded([this] {
    {
      std::unique_lock lock(lifeMutex_);
      // The shutdown in progress waits for this thread: it finishes the job.
      if (!AwaitSettledLife(lock)) return;
      if (life_ != Life::Running) return;
      life_ = Life::Stopping;
    }
    bool linesEnded = Guarded([this] { return EndCalls(); }, false);
    bool saved = Guarded([this] { return StopRun(); }, false);
    SetLife(Life::Stopped);
    // Settings reach the profile only here: a failure must not pass unseen.
    if (!saved) ShowMessage(kSettingsNotSavedMessage, MessageIcon::Error);
    // The host may unload the library as soon as this returns. A message
    // the user has not closed yet, or a lookup stuck in the resolver (a
    // line's, a peer name's, a gateway's), would then return into unloaded
    // code: the library stays loaded for them.
    bool drained = WaitForDetachedMessages(kMessageDrainLimit);
    drained = WaitForPeerLookups(kMessageDrainLimit) && drained;
    drained = WaitForGatewayRouteLookups(kMessageDrainLimit) && drained;
    drained = linesEnded && drained;
    if (!drained) {
      KeepLibraryLoaded();
      ++libraryKeptLoaded;
    }
  });
}

int SipModule::LibraryKeptLoadedCount() { return libraryKeptLoaded; }

bool SipModule::EndCalls() {
  closing_ = true;
  std::array<std::shared_ptr<CallLine>, kMaxLines> lines;
  {
    std::scoped_lock lock(moduleLock_);
    lines = lines_;  // the host may release lines from inside OnDisconnected
    gateways_.UnregisterForShutdown();
  }
  for (const std::shared_ptr<CallLine>& line : lines) {
    if (!line) continue;
    std::scoped_lock lock(moduleLock_);
    line->HangUp();
  }
  // The receive thread and the timer go on meanwhile: answers stop the
  // repeats early, and the accounts' REGISTERs go out on the ticks.
  auto deadline = std::chrono::steady_clock::now() + kClosingLimit;
  // A line thread may be stuck in a name lookup that outlasts the limit.
  bool linesEnded = WaitForLineThreads(kClosingLimit);
  for (;;) {
    {
      std::scoped_lock lock(moduleLock_);
      if (gateways_.Idle()) break;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    // A shutdown on the thread whose messages bring the ticks (Windows)
    // makes the ticks that fall due meanwhile itself.
    PeriodicTimer::RunDueCalls();
    std::this_thread::sleep_for(kClosingPoll);
  }
  return linesEnded;
}

bool SipModule::LockLines(std::unique_lock<std::recursive_mutex>& lock) const {
  lock = std::unique_lock(moduleLock_, std::defer_lock);
  while (!lock.try_lock()) {
    if (closing_) return false;
    std::this_thread::sleep_for(kLockRetryPause);
  }
  return true;
}

bool SipModule::StopRun() {
  // Cleared first: a timer or receive thread waiting for ModuleLock, which
  // the caller may hold, gives up once it sees the module stopping.
  running_ = 0;
  timer_.Stop();
  timerId_ = 0;
  sipSocket_.Close();
  // No REGISTER comes any more: what is pending is written (its answers
  // find the socket closed; the phones ask again).
  registrations_.StopWriter();
  CleanUpSocketsLibrary();
  const ModuleSettings& settings = Settings();
  bool saved;
  {
    std::scoped_lock lock(moduleLock_);  // the accounts go with their save
    saved = SaveGatewaySettings(settings, gateways_);
  }
  saved = SaveAddressSettings(settings) && saved;
  saved = SaveRegisterSettings(settings) && saved;
  saved = SaveVoipSettings(settings) && saved;
  WithdrawG729Library();
  return saved;
}

bool SipModule::LockUnlessStopped(std::unique_lock<std::recursive_mutex>& lock) {
  while (!lock.try_lock()) {
    if (!running_) return false;
    std::this_thread::sleep_for(kLockRetryPause);
  }
  return true;
}

void SipModule::TimerProcedure() {
  std::unique_lock lock(moduleLock_, std::defer_lock);
  if (!LockUnlessStopped(lock)) return;
  TickCallLines();
  gateways_.SendDueRegisters();
}

void SipModule::HandleDatagram(std::string_view text, const Ipv4Endpoint& source) {
  SipMessage message(text, source.address, source.port);
  Dispatch(message);
}

long SipModule::Send(std::span<const char> bytes, const Ipv4Endpoint& destination) const {
  return sipSocket_.Send(bytes, destination);
}

Ipv4Endpoint SipModule::SipEndpoint() const { return sipSocket_.LocalEndpoint(); }

uint16_t SipModule::AdvertisedSipPort() const {
  uint16_t bound = sipSocket_.BoundPort();
  return bound != 0 ? bound : Settings().SipPort.load();
}

bool SipModule::ReceiveThreadRunning() const { return sipSocket_.ReceiveThreadRunning(); }

}  // namespace talvenor
