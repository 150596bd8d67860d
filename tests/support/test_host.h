// A host for the tests: defines the CCon statics the module imports and
// records every call of them and of the connection objects it hands out.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "host/ccom.h"
#include "host/ccon.h"

namespace testhost {

// One recorded call: the function's name and its arguments as text.
struct HostCall {
  std::string function;
  std::vector<std::string> arguments;
};

// A host's connection object for one call: counts and records each of the
// five calls in order (OnAudioReceived as its byte count and first sample)
// and runs a hook last inside each, as a host's own code would run there.
class RecordingConnection final : public CCon {
public:
  // Runs on the module's thread after the call is recorded; it may even
  // delete the connection, as a host may inside OnDisconnected.
  using Hook = std::function<void(const HostCall& call)>;

  // Without `keepCalls` only the counts are kept, and no call allocates: the
  // benchmarks count the module's allocations.
  explicit RecordingConnection(bool keepCalls = true) : keepCalls_(keepCalls) {}
  void OnConnected(int, int) override;
  void OnDisconnected(int reason) override;
  void OnAudioSent() override;
  void OnAudioReceived(const short* samples, int byteCount, int) override;
  void OnCallInfo(const CString& text) override;

  void SetHook(Hook hook);
  std::vector<HostCall> Calls() const;
  // The arguments of each call of `function`, in order.
  std::vector<std::vector<std::string>> Arguments(std::string_view function) const;
  long Count(std::string_view function) const;
  // Waits until `function` was called `count` times in all; false on timeout.
  bool WaitForCount(std::string_view function, long count, std::chrono::milliseconds timeout) const;
  std::vector<int> Reasons() const;  // those OnDisconnected gave
  std::string LastInfo() const;      // OnCallInfo's, empty before the first

private:
  template <typename MakeArguments>
  void Record(size_t function, MakeArguments arguments);
  const bool keepCalls_;
  mutable std::mutex mutex_;
  mutable std::condition_variable called_;
  std::array<long, 5> counts_{};
  std::vector<HostCall> calls_;
  Hook hook_;
};

// A hook for a host that releases `line` from inside OnDisconnected.
RecordingConnection::Hook ReleaseLineOnDisconnect(CCom& module, int line);

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
