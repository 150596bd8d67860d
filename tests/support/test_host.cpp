#include "tests/support/test_host.h"

#include <atomic>

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

}  // namespace

void RecordingConnection::Record(HostCall call) {
  std::scoped_lock lock(mutex_);
  calls_.push_back(std::move(call));
}
void RecordingConnection::OnConnected(int, int) { Record({"OnConnected", {}}); }
void RecordingConnection::OnDisconnected(int reason) { Record({"OnDisconnected", {std::to_string(reason)}}); }
void RecordingConnection::OnAudioSent() { Record({"OnAudioSent", {}}); }
void RecordingConnection::OnAudioReceived(const short*, int byteCount, int) {
  Record({"OnAudioReceived", {std::to_string(byteCount)}});
}
void RecordingConnection::OnCallInfo(const CString& text) { Record({"OnCallInfo", {text}}); }
std::vector<HostCall> RecordingConnection::Calls() const {
  std::scoped_lock lock(mutex_);
  return calls_;
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
