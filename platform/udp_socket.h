// A UDP socket with a receive that another thread can wake. Any thread may
// close it while others send or receive on it: a socket is never used after
// it was closed (where its number or handle could name another file).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <span>

#include "platform/endpoint.h"

namespace talvenor {

class UdpSocket {
public:
  UdpSocket();
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Creates the IPv4 datagram socket and its wake-up event; false on failure.
  bool Open();
  // Binds to the endpoint (port 0 picks a free one); false when the port is
  // taken or not permitted.
  bool Bind(const Ipv4Endpoint& local);
  bool IsOpen() const;
  // The bound local endpoint, network order.
  Ipv4Endpoint LocalEndpoint() const;

  // Sends one datagram; returns what sendto returned (bytes sent or -1).
  long SendTo(std::span<const char> bytes, const Ipv4Endpoint& destination) const;

  // TransientError: a signal or an ICMP report, retry at once. Failed: an
  // error the socket may recover from (memory, buffers), retry after a pause.
  // Closed: the socket was closed; nothing more will come. TimedOut: no
  // datagram within the time given.
  enum class ReceiveStatus { Datagram, Woken, TransientError, Failed, Closed, TimedOut };
  struct Received {
    ReceiveStatus status = ReceiveStatus::Closed;
    size_t copied = 0;       // bytes placed in the buffer
    size_t realLength = 0;   // length of the datagram on the wire
    Ipv4Endpoint source;
  };
  // Waits for one datagram or a Wake(), at most `timeoutMilliseconds` when
  // that is not negative. A datagram longer than the buffer is cut to fit,
  // and realLength tells its true length on Linux; Windows does not tell
  // it, so there realLength is the buffer's size plus one: callers still see
  // that the datagram was cut.
  Received Receive(std::span<char> buffer, int timeoutMilliseconds = -1) const;
  // Wakes a thread blocked in Receive; it returns Woken from then on.
  void Wake() const;

  // Wakes a blocked receive, waits until no other thread uses the socket,
  // then closes it: the port is free when it returns.
  void Close();

private:
  struct Handles;  // the system's socket and wake-up event
  void CloseHandles();
  bool HandlesOpen() const;  // with useMutex_ held
  // The two steps of Receive that each system takes its own way, called
  // with the socket open and in use. TryReceiveOnce takes one queued
  // datagram without waiting, or ends the receive with an error status;
  // nullopt when the queue is empty. WaitReadable waits at most
  // `waitMilliseconds` (-1: without limit) for the socket to become readable
  // or for a Wake(); nullopt when a datagram may be there, otherwise the
  // status that ends the receive.
  std::optional<Received> TryReceiveOnce(std::span<char> buffer) const;
  std::optional<ReceiveStatus> WaitReadable(int waitMilliseconds) const;

  mutable std::shared_mutex useMutex_;  // shared while in use, exclusive to close
  std::unique_ptr<Handles> handles_;
  mutable std::atomic<bool> woken_{false};
};

}  // namespace talvenor
