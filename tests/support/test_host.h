// A host for the tests: defines the CCon statics the module imports and
// records every call of them and of the connection objects it hands out.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/ccon.h"

namespace testhost {

// One recorded call: the function's name and its arguments as text.
struct HostCall {
  std::string function;
  std::vector<std::string> arguments;
};

class RecordingConnection final : public CCon {
public:
  void OnConnected(int, int) override;
  void OnDisconnected(int reason) override;
  void OnAudioSent() override;
  void OnAudioReceived(const short* samples, int byteCount, int) override;
  void OnCallInfo(const CString& text) override;
  std::vector<HostCall> Calls() const;

private:
  void Record(HostCall call);
  mutable std::mutex mutex_;
  std::vector<HostCall> calls_;
};

// Folder where AddSystemPath puts the lists.
void SetDataDirectory(const std::string& folder);
void SetIsClose(bool closing);
// When set, OnIncomingCall returns no connection: the host refuses every call.
void SetRefuseIncomingCalls(bool refuse);
// Called inside every AddSystemPath with the list's name, on the module's
// thread that asked, as a host's own code would run there; empty for none.
void SetAddSystemPathHook(std::function<void(const std::string& name)> hook);
// Every call of the statics so far, in order.
std::vector<HostCall> StaticCalls();
std::vector<HostCall> StaticCallsNamed(const std::string& function);
// Connection objects handed out by OnIncomingCall, in order.
std::vector<std::shared_ptr<RecordingConnection>> Connections();
// Forgets the recorded calls and connections.
void Reset();

}  // namespace testhost
