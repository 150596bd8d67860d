#include "tests/support/test_host.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <stdexcept>

#include "platform/periodic_timer.h"

namespace testhost {

namespace {

struct HostState {
  std::mutex mutex;
  std::string dataDirectory = "/tmp";
  std::vector<HostCall> calls;
  std::vector<std::shared_ptr<RecordingConnection>> connections;
  std::atomic<bool> closing{false};
  std::atomic<bool> refuseCalls{false};
  std::function<void(const std::string&)> addSystemPathHook;
};

HostState& State() {
  static HostState* state = new HostState;  // outlives module threads at exit
  return *state;
}

void RecordStatic(HostCall call) {
  std::scoped_lock lock(State().mutex);
  State().calls.push_back(std::move(call));
}

// The five calls, in the order of their slots.
constexpr std::array<std::string_view, 5> kConnectionCalls = {"OnConnected", "OnDisconnected", "OnAudioSent",
                                                              "OnAudioReceived", "OnCallInfo"};

size_t ConnectionCall(std::string_view function) {
  auto found = std::find(kConnectionCalls.begin(), kConnectionCalls.end(), function);
  if (found == kConnectionCalls.end()) throw std::invalid_argument("no connection call " + std::string(function));
  return static_cast<size_t>(found - kConnectionCalls.begin());
}

using Texts = std::vector<std::string>;

}  // namespace

// `arguments` makes the call's arguments only when they are kept or hooked.
template <typename MakeArguments>
void RecordingConnection::Record(size_t function, MakeArguments arguments) {
  std::optional<HostCall> call;
  Hook hook;
  {
    std::scoped_lock lock(mutex_);
    ++counts_[function];
    // Woken under the lock: a waiter that then frees the connection finds
    // this call done with it.
    called_.notify_all();
    if (keepCalls_ || hook_) call = HostCall{std::string(kConnectionCalls[function]), arguments()};
    if (keepCalls_) calls_.push_back(*call);
    hook = hook_;
  }
  if (hook) hook(*call);  // last: it may delete this connection
}
void RecordingConnection::OnConnected(int, int) { Record(0, [] { return Texts{}; }); }
void RecordingConnection::OnDisconnected(int reason) { Record(1, [&] { return Texts{std::to_string(reason)}; }); }
void RecordingConnection::OnAudioSent() { Record(2, [] { return Texts{}; }); }
void RecordingConnection::OnAudioReceived(const short* samples, int byteCount, int) {
  Record(3, [&] { return Texts{std::to_string(byteCount), byteCount >= 2 ? std::to_string(samples[0]) : ""}; });
}
void RecordingConnection::OnCallInfo(const CString& text) { Record(4, [&] { return Texts{text}; }); }

void RecordingConnection::SetHook(Hook hook) {
  std::scoped_lock lock(mutex_);
  hook_ = std::move(hook);
}
std::vector<HostCall> RecordingConnection::Calls() const {
  std::scoped_lock lock(mutex_);
  return calls_;
}
std::vector<std::vector<std::string>> RecordingConnection::Arguments(std::string_view function) const {
  std::vector<std::vector<std::string>> arguments;
  for (auto& call : Calls()) {
    if (call.function == function) arguments.push_back(call.arguments);
  }
  return arguments;
}
long RecordingConnection::Count(std::string_view function) const {
  size_t index = ConnectionCall(function);
  std::scoped_lock lock(mutex_);
  return counts_[index];
}
bool RecordingConnection::WaitForCount(std::string_view function, long count,
                                       std::chrono::milliseconds timeout) const {
  size_t index = ConnectionCall(function);
  auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    // A module started on this thread gets its timer ticks while it waits
    // here, as a host's message loop would give them (Windows); the tick
    // may call this connection, so it runs without the connection's lock.
    talvenor::PeriodicTimer::RunDueCalls();
    std::unique_lock lock(mutex_);
    auto left = end - std::chrono::steady_clock::now();
    auto slice = std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(20));
    if (called_.wait_for(lock, slice, [&] { return counts_[index] >= count; })) return true;
    if (left <= std::chrono::steady_clock::duration::zero()) return false;
  }
}
std::vector<int> RecordingConnection::Reasons() const {
  std::vector<int> reasons;
  for (auto& arguments : Arguments("OnDisconnected")) reasons.push_back(std::stoi(arguments[0]));
  return reasons;
}
std::string RecordingConnection::LastInfo() const {
  auto texts = Arguments("OnCallInfo");
  return texts.empty() ? "" : texts.back()[0];
}

RecordingConnection::Hook ReleaseLineOnDisconnect(CCom& module, int line) {
  return [&module, line](const HostCall& call) {
    if (call.function == "OnDisconnected") module.ReleaseLine(line, 0);
  };
}

void SetDataDirectory(const std::string& folder) {
  std::scoped_lock lock(State().mutex);
  State().dataDirectory = folder;
}

void SetIsClose(bool closing) { State().closing = closing; }

void SetRefuseIncomingCalls(bool refuse) { State().refuseCalls = refuse; }

void SetAddSystemPathHook(std::function<void(const std::string& name)> hook) {
  std::scoped_lock lock(State().mutex);
  State().addSystemPathHook = std::move(hook);
}

std::vector<HostCall> StaticCalls() {
  std::scoped_lock lock(State().mutex);
  return State().calls;
}

std::vector<HostCall> StaticCallsNamed(const std::string& function) {
  std::vector<HostCall> named;
  for (auto& call : StaticCalls()) {
    if (call.function == function) named.push_back(call);
  }
  return named;
}

std::vector<std::shared_ptr<RecordingConnection>> Connections() {
  std::scoped_lock lock(State().mutex);
  return State().connections;
}

void Reset() {
  std::scoped_lock lock(State().mutex);
  State().calls.clear();
  State().connections.clear();
  State().closing = false;
  State().refuseCalls = false;
}

}  // namespace testhost

using testhost::State;

CString CCon::AddSystemPath(const CString& name, const CString& extension) {
  testhost::RecordStatic({"AddSystemPath", {name, extension}});
  std::function<void(const std::string&)> hook;
  {
    std::scoped_lock lock(State().mutex);
    hook = State().addSystemPathHook;
  }
  if (hook) hook(name);
  std::scoped_lock lock(State().mutex);
  return State().dataDirectory + "/" + name + extension;
}

void CCon::OnOpenTextFile(const CString& name, const CString& header) {
  testhost::RecordStatic({"OnOpenTextFile", {name, header}});
}

BOOL CCon::IsClose() {
  testhost::RecordStatic({"IsClose", {}});
  return State().closing ? 1 : 0;
}

void CCon::OnClose() { testhost::RecordStatic({"OnClose", {}}); }

CCon* CCon::OnIncomingCall(CCom*, int line, int callMode, const CString& caller, const CString& source,
                           const CString& displayName, const CString& extra1, const CString& extra2) {
  testhost::RecordStatic({"OnIncomingCall",
                          {std::to_string(line), std::to_string(callMode), caller, source, displayName, extra1,
                           extra2}});
  if (State().refuseCalls) return nullptr;
  auto connection = std::make_shared<testhost::RecordingConnection>();
  std::scoped_lock lock(State().mutex);
  State().connections.push_back(connection);
  return connection.get();
}
