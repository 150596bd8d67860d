// The SIP receive thread: receives each datagram, drops the ones that are too
// short, too long or an immediate repeat, holds the rest against the ban list,
// flood detector and log, and hands what passes to its sink.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string_view>

#include "platform/endpoint.h"
#include "transport/traffic_guard.h"

namespace talvenor {

class UdpSocket;

// Where the datagrams that pass go: the layer above, which the receive loop
// knows nothing more of.
class DatagramSink {
public:
  // False once the loop is to end (the module is stopping).
  virtual bool Receiving() const = 0;
  virtual void HandleDatagram(std::string_view text, const Ipv4Endpoint& source) = 0;

protected:
  ~DatagramSink() = default;
};

// Length and repeat checks of the receive path. Only the receive thread uses it.
class DatagramScreen {
public:
  static constexpr size_t kBufferSize = 1500;
  // Datagrams of 150 bytes or less, or of 1500 or more, are ignored.
  static bool LengthAccepted(size_t length) { return length > 150 && length < kBufferSize; }
  // True when the datagram is new; false when it equals the previous accepted
  // one (whoever sent it). An accepted datagram becomes the previous one.
  bool Accept(std::string_view text);

private:
  std::array<char, kBufferSize> previous_{};
  size_t previousLength_ = 0;
};

class ReceiveLoop {
public:
  ReceiveLoop(DatagramSink& sink, std::shared_ptr<UdpSocket> socket, TrafficGuard::SettingsSource guardSettings)
      : sink_(sink), socket_(std::move(socket)), guard_(std::move(guardSettings)) {}
  // Runs until the socket is woken or closed at shutdown. Errors never end
  // it: the socket may recover from them.
  void Run();

private:
  DatagramSink& sink_;
  std::shared_ptr<UdpSocket> socket_;  // this run's; the next start opens another
  std::array<char, DatagramScreen::kBufferSize> buffer_{};
  DatagramScreen screen_;
  TrafficGuard guard_;
};

}  // namespace talvenor
