#include "calls/host_gate.h"

namespace talvenor {

bool HostGate::Enter() {
  std::scoped_lock lock(mutex_);
  if (told_ || endPending_) return false;
  ++hostCalls_;
  return true;
}

bool HostGate::Leave() {
  std::scoped_lock lock(mutex_);
  if (--hostCalls_ > 0 || !endPending_) return false;
  endPending_ = false;
  told_ = true;
  return true;
}

bool HostGate::End() {
  std::scoped_lock lock(mutex_);
  if (told_ || endPending_) return false;  // once per call, whichever path ends it
  if (hostCalls_ > 0) {
    endPending_ = true;  // the call under way delivers it as it returns
    return false;
  }
  told_ = true;
  return true;
}

bool HostGate::Connect(CCon* connection) {
  std::scoped_lock lock(mutex_);
  connection_ = connection;
  return told_ && !endHeard_ && connection != nullptr;
}

void HostGate::TellEnd(int reason) {
  CCon* connection;
  {
    std::scoped_lock lock(mutex_);
    // Once: an end told while the host's connection arrives could otherwise
    // reach it both from here and from Connect.
    if (endHeard_) return;
    connection = connection_;
    endHeard_ = connection != nullptr;
  }
  if (connection != nullptr) connection->OnDisconnected(reason);
}

}  // namespace talvenor
