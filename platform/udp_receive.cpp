// The receive of UdpSocket, the same on every system: it drains the queue
// before it waits and ends at one deadline.
#include <algorithm>
#include <chrono>
#include <mutex>

#include "platform/udp_socket.h"

namespace talvenor {

UdpSocket::Received UdpSocket::Receive(std::span<char> buffer, int timeoutMilliseconds) const {
  std::shared_lock lock(useMutex_);
  if (!HandlesOpen()) return {};
  // The wait ends at one deadline: a datagram that wakes the wait but is
  // then thrown away (a bad checksum shows only when it is read), a wake-up
  // that finds no datagram or a signal must not start it again.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMilliseconds, 0));
  Received result;
  for (;;) {
    if (woken_.load(std::memory_order_acquire)) {
      result.status = ReceiveStatus::Woken;
      return result;
    }
    // The queue is drained without waiting: under load every datagram is
    // taken by one call, and the wait below only comes when it is empty.
    if (std::optional<Received> received = TryReceiveOnce(buffer)) return *received;
    int wait = -1;
    if (timeoutMilliseconds >= 0) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) {
        result.status = ReceiveStatus::TimedOut;
        return result;
      }
      wait = static_cast<int>(left);
    }
    if (std::optional<ReceiveStatus> ended = WaitReadable(wait)) {
      result.status = *ended;
      return result;
    }
  }
}

}  // namespace talvenor
