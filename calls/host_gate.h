// The door between one call line and its host connection: counts the calls
// to the host under way for the line and lets the end (OnDisconnected)
// through exactly once, never beside another call nor before one returns.
// Nothing reaches the host for the line after the end.
//
// The gate's mutex guards its counters alone and is never held while the
// host is called: the host may call any CCom slot from inside a callback.
// Each method that reports an end as due leaves its delivery (TellEnd) to
// the caller, who picks the thread.
#pragma once

#include <atomic>
#include <mutex>

#include "host/ccon.h"

namespace talvenor {

class HostGate {
public:
  // Null for an incoming call until the host gives a connection.
  explicit HostGate(CCon* connection) : connection_(connection) {}

  CCon* Connection() const { return connection_; }
  // A call to the host may begin: false once the end is told or waiting,
  // since the host may have let go of the connection.
  bool Enter();
  // That call returned. True when an end waited for it and is due now.
  bool Leave();
  // The call ends. True when the end is due now; false when it was told
  // before, or waits for the calls under way (the last to leave delivers it).
  bool End();
  // The host's connection for an incoming call. True when the call ended
  // while the host was being offered it: the end had nobody to go to then,
  // and is due now.
  bool Connect(CCon* connection);
  // OnDisconnected to the connection, if there is one yet.
  void TellEnd(int reason);

private:
  std::atomic<CCon*> connection_;
  std::mutex mutex_;  // guards the four below, and pairs a connection with endHeard_
  int hostCalls_ = 0;         // calls to the host under way
  bool told_ = false;         // the end went out, or is going out now
  bool endPending_ = false;   // the end waits for the calls under way
  bool endHeard_ = false;     // the end reached a connection
};

}  // namespace talvenor
