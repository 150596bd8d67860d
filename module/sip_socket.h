// The module's SIP socket and the thread that receives on it, from start-up
// to shutdown.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>
#include <thread>

#include "platform/endpoint.h"
#include "platform/udp_socket.h"
#include "transport/receive_loop.h"

namespace talvenor {

class SipSocket {
public:
  using SendCapture = std::function<void(std::string_view text, const Ipv4Endpoint& destination)>;
  enum class OpenResult { Opened, NotOpened, NotBound };

  // A new socket bound to `local`; kept only when both steps succeed.
  OpenResult Open(const Ipv4Endpoint& local);
  // Starts the receive thread on the open socket; throws when it cannot.
  void StartReceiving(DatagramSink& sink, TrafficGuard::SettingsSource guardSettings);
  // Ends the receive thread and closes the socket, which frees the port at
  // once for the next start.
  void Close();

  // Sends one datagram; returns what sendto returned (-1 while closed).
  long Send(std::span<const char> bytes, const Ipv4Endpoint& destination) const;
  // Hands every outgoing datagram to `capture` instead of the socket. Set
  // before any traffic.
  void CaptureSends(SendCapture capture) { sendCapture_ = std::move(capture); }

  // The bound endpoint (network order); port 0 while closed.
  Ipv4Endpoint LocalEndpoint() const;
  // The bound port (host order); 0 while closed.
  uint16_t BoundPort() const { return boundPort_; }
  bool ReceiveThreadRunning() const { return receiveThreads_ > 0; }
  // True on a receive thread: a shutdown in progress may be waiting for it.
  static bool OnReceiveThread();

private:
  std::shared_ptr<UdpSocket> Current() const;
  void ReceiveThreadProcedure(std::shared_ptr<UdpSocket> socket, DatagramSink& sink,
                              TrafficGuard::SettingsSource guardSettings);

  mutable std::mutex mutex_;  // guards the pointer, not the socket
  std::shared_ptr<UdpSocket> socket_;
  std::atomic<uint16_t> boundPort_{0};
  std::thread receiveThread_;
  // Receive threads not yet ended: one left to finish a host callback after
  // a shutdown from inside it may overlap the next start's.
  std::atomic<int> receiveThreads_{0};
  SendCapture sendCapture_;
};

}  // namespace talvenor
