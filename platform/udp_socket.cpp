#include "platform/udp_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace talvenor {

namespace {

sockaddr_in ToSockaddr(const Ipv4Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = endpoint.address;
  address.sin_port = endpoint.port;
  return address;
}

// ICMP reports of an earlier send, which say nothing about the socket itself.
bool IsIcmpReport(int error) {
  switch (error) {
    case ECONNREFUSED:
    case EHOSTUNREACH:
    case ENETUNREACH:
      return true;
    default:
      return false;
  }
}

}  // namespace

struct UdpSocket::Handles {
  int fd = -1;
  int wakeFd = -1;
};

UdpSocket::UdpSocket() : handles_(std::make_unique<Handles>()) {}

UdpSocket::~UdpSocket() { CloseHandles(); }

bool UdpSocket::IsOpen() const {
  std::shared_lock lock(useMutex_);
  return HandlesOpen();
}

bool UdpSocket::HandlesOpen() const { return handles_->fd >= 0; }

bool UdpSocket::Open() {
  std::unique_lock lock(useMutex_);
  CloseHandles();
  woken_ = false;
  handles_->fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_UDP);
  if (handles_->fd < 0) return false;
  handles_->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (handles_->wakeFd < 0) {
    CloseHandles();
    return false;
  }
  // No SO_REUSEADDR: with it a second process on the same port would silently
  // take all the traffic instead of failing to bind.
  return true;
}

bool UdpSocket::Bind(const Ipv4Endpoint& local) {
  std::shared_lock lock(useMutex_);
  if (handles_->fd < 0) return false;
  sockaddr_in address = ToSockaddr(local);
  return bind(handles_->fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

Ipv4Endpoint UdpSocket::LocalEndpoint() const {
  std::shared_lock lock(useMutex_);
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (handles_->fd < 0 || getsockname(handles_->fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
  return {address.sin_addr.s_addr, address.sin_port};
}

long UdpSocket::SendTo(std::span<const char> bytes, const Ipv4Endpoint& destination) const {
  std::shared_lock lock(useMutex_);
  if (handles_->fd < 0) return -1;
  sockaddr_in address = ToSockaddr(destination);
  // Sent without MSG_DONTROUTE: Linux honours that flag and would refuse every
  // destination behind a router, where WinSock providers ignore it.
  ssize_t sent;
  do {
    sent = sendto(handles_->fd, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                  reinterpret_cast<sockaddr*>(&address), sizeof address);
  } while (sent < 0 && errno == EINTR);
  return static_cast<long>(sent);
}

std::optional<UdpSocket::Received> UdpSocket::TryReceiveOnce(std::span<char> buffer) const {
  Received result;
  sockaddr_in source{};
  socklen_t sourceLength = sizeof source;
  ssize_t length;
  // MSG_TRUNC makes recvfrom return the datagram's real length even when it
  // was cut to fit the buffer, where WinSock would fail with WSAEMSGSIZE.
  do {
    length = recvfrom(handles_->fd, buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT,
                      reinterpret_cast<sockaddr*>(&source), &sourceLength);
  } while (length < 0 && errno == EINTR);
  if (length >= 0) {
    result.status = ReceiveStatus::Datagram;
    result.realLength = static_cast<size_t>(length);
    result.copied = std::min(result.realLength, buffer.size());
    result.source = {source.sin_addr.s_addr, source.sin_port};
    return result;
  }
  int error = errno;
  if (error == EAGAIN) return std::nullopt;
  // The descriptor stays open until Close, so no error here means the
  // socket is gone: the receive loop must go on.
  result.status = IsIcmpReport(error) ? ReceiveStatus::TransientError : ReceiveStatus::Failed;
  return result;
}

std::optional<UdpSocket::ReceiveStatus> UdpSocket::WaitReadable(int waitMilliseconds) const {
  // Closing a socket does not wake a thread blocked on it under Linux, so the
  // wait covers the socket and an eventfd that Wake() signals.
  pollfd fds[2] = {{handles_->fd, POLLIN, 0}, {handles_->wakeFd, POLLIN, 0}};
  int ready = poll(fds, 2, waitMilliseconds);
  if (ready < 0) {
    if (errno == EINTR) return std::nullopt;
    return ReceiveStatus::Failed;  // ENOMEM: the caller pauses and tries again
  }
  if (ready == 0) return ReceiveStatus::TimedOut;
  if (fds[1].revents != 0) return ReceiveStatus::Woken;
  if (fds[0].revents & POLLNVAL) return ReceiveStatus::Closed;
  return std::nullopt;
}

void UdpSocket::Wake() const {
  std::shared_lock lock(useMutex_);
  if (handles_->wakeFd < 0) return;
  woken_.store(true, std::memory_order_release);
  uint64_t one = 1;
  ssize_t written = write(handles_->wakeFd, &one, sizeof one);
  (void)written;  // a full counter already means "wake"
}

void UdpSocket::Close() {
  Wake();
  std::unique_lock lock(useMutex_);
  CloseHandles();
}

void UdpSocket::CloseHandles() {
  if (handles_->fd >= 0) close(handles_->fd);
  if (handles_->wakeFd >= 0) close(handles_->wakeFd);
  handles_->fd = -1;
  handles_->wakeFd = -1;
}

}  // namespace talvenor
