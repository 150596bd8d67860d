#include "platform/udp_socket.h"

#include <winsock2.h>
#include <mswsock.h>

#include <algorithm>
#include <climits>
#include <mutex>

#include "platform/win32/winsock_use.h"

namespace talvenor {

namespace {

sockaddr_in ToSockaddr(const Ipv4Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = endpoint.address;
  address.sin_port = endpoint.port;
  return address;
}

// A signal-like interruption or an ICMP report of an earlier send, which
// says nothing about the socket itself. WinSock reports ICMP "port
// unreachable" on a UDP socket as WSAECONNRESET and "time to live expired"
// as WSAENETRESET.
bool IsTransient(int error) {
  switch (error) {
    case WSAEINTR:
    case WSAECONNRESET:
    case WSAENETRESET:
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
      return true;
    default:
      return false;
  }
}

SOCKET CreateSocket() {
  // Not inherited by processes the host starts; systems before Windows 7
  // SP1 do not know the flag and refuse it.
  SOCKET created = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (created == INVALID_SOCKET && WSAGetLastError() == WSAEINVAL) {
    created = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, 0);
  }
  return created;
}

void ConfigureSocket(SOCKET socket) {
  // An ICMP "port unreachable" for an earlier send would otherwise fail the
  // next receive with WSAECONNRESET; the module learns nothing from it.
  BOOL reportReset = FALSE;
  DWORD returned = 0;
  (void)WSAIoctl(socket, SIO_UDP_CONNRESET, &reportReset, sizeof reportReset, nullptr, 0, &returned, nullptr,
                 nullptr);
  // No SO_REUSEADDR, and exclusive use: without it another process could
  // bind the same port with SO_REUSEADDR and silently take the traffic.
  BOOL exclusive = TRUE;
  (void)setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                   sizeof exclusive);
}

// Waits at most 100 ms for the socket to take another datagram.
void WaitUntilWritable(SOCKET socket) {
  fd_set writable;
  FD_ZERO(&writable);
  FD_SET(socket, &writable);
  timeval limit{0, 100 * 1000};
  (void)select(0, nullptr, &writable, nullptr, &limit);
}

}  // namespace

struct UdpSocket::Handles {
  std::unique_ptr<WinsockUse> winsock;  // held from Open to close
  SOCKET socket = INVALID_SOCKET;
  WSAEVENT readable = WSA_INVALID_EVENT;  // FD_READ of the socket
  WSAEVENT wake = WSA_INVALID_EVENT;      // set by Wake
};

UdpSocket::UdpSocket() : handles_(std::make_unique<Handles>()) {}

UdpSocket::~UdpSocket() { CloseHandles(); }

bool UdpSocket::IsOpen() const {
  std::shared_lock lock(useMutex_);
  return HandlesOpen();
}

bool UdpSocket::HandlesOpen() const { return handles_->socket != INVALID_SOCKET; }

bool UdpSocket::Open() {
  std::unique_lock lock(useMutex_);
  CloseHandles();
  woken_ = false;
  Handles& handles = *handles_;
  handles.winsock = std::make_unique<WinsockUse>();
  if (!handles.winsock->Started()) {
    CloseHandles();
    return false;
  }
  handles.socket = CreateSocket();
  handles.readable = WSACreateEvent();
  handles.wake = WSACreateEvent();
  // WSAEventSelect also makes the socket non-blocking, as the receive wants.
  if (handles.socket == INVALID_SOCKET || handles.readable == WSA_INVALID_EVENT || handles.wake == WSA_INVALID_EVENT ||
      WSAEventSelect(handles.socket, handles.readable, FD_READ) != 0) {
    CloseHandles();
    return false;
  }
  ConfigureSocket(handles.socket);
  return true;
}

bool UdpSocket::Bind(const Ipv4Endpoint& local) {
  std::shared_lock lock(useMutex_);
  if (handles_->socket == INVALID_SOCKET) return false;
  sockaddr_in address = ToSockaddr(local);
  return bind(handles_->socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

Ipv4Endpoint UdpSocket::LocalEndpoint() const {
  std::shared_lock lock(useMutex_);
  sockaddr_in address{};
  int length = sizeof address;
  if (handles_->socket == INVALID_SOCKET ||
      getsockname(handles_->socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return {};
  }
  return {address.sin_addr.s_addr, address.sin_port};
}

long UdpSocket::SendTo(std::span<const char> bytes, const Ipv4Endpoint& destination) const {
  std::shared_lock lock(useMutex_);
  if (handles_->socket == INVALID_SOCKET || bytes.size() > INT_MAX) return -1;
  sockaddr_in address = ToSockaddr(destination);
  // The socket is non-blocking (WSAEventSelect makes it so for the receive):
  // a send that finds the system busy with the sends of other threads gets
  // WSAEWOULDBLOCK. It waits until the socket can send and tries again, as
  // a blocking send on Linux would, rather than drop the datagram.
  constexpr int kBusyRetries = 20;
  for (int retry = 0;; ++retry) {
    // Sent without MSG_DONTROUTE, as on Linux, where the flag would refuse
    // every destination behind a router.
    int sent = sendto(handles_->socket, bytes.data(), static_cast<int>(bytes.size()), 0,
                      reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (sent != SOCKET_ERROR) return static_cast<long>(sent);
    if (WSAGetLastError() != WSAEWOULDBLOCK || retry == kBusyRetries) return -1;
    WaitUntilWritable(handles_->socket);
  }
}

std::optional<UdpSocket::Received> UdpSocket::TryReceiveOnce(std::span<char> buffer) const {
  Received result;
  const int capacity = static_cast<int>(std::min<size_t>(buffer.size(), INT_MAX));
  sockaddr_in source{};
  int sourceLength = sizeof source;
  int length = recvfrom(handles_->socket, buffer.data(), capacity, 0, reinterpret_cast<sockaddr*>(&source),
                        &sourceLength);
  int error = length == SOCKET_ERROR ? WSAGetLastError() : 0;
  if (length != SOCKET_ERROR || error == WSAEMSGSIZE) {
    result.status = ReceiveStatus::Datagram;
    result.copied = length == SOCKET_ERROR ? static_cast<size_t>(capacity) : static_cast<size_t>(length);
    // WinSock fills the buffer with the datagram's first part and does not
    // tell its length: one more than the buffer says that it was cut.
    result.realLength = length == SOCKET_ERROR ? result.copied + 1 : result.copied;
    result.source = {source.sin_addr.s_addr, source.sin_port};
    return result;
  }
  if (error == WSAEWOULDBLOCK) return std::nullopt;
  result.status = IsTransient(error) ? ReceiveStatus::TransientError : ReceiveStatus::Failed;
  return result;
}

std::optional<UdpSocket::ReceiveStatus> UdpSocket::WaitReadable(int waitMilliseconds) const {
  const WSAEVENT events[2] = {handles_->readable, handles_->wake};
  DWORD wait = waitMilliseconds < 0 ? WSA_INFINITE : static_cast<DWORD>(waitMilliseconds);
  DWORD ready = WSAWaitForMultipleEvents(2, events, FALSE, wait, FALSE);
  if (ready == WSA_WAIT_TIMEOUT) return ReceiveStatus::TimedOut;
  if (ready == WSA_WAIT_EVENT_0 + 1) return ReceiveStatus::Woken;
  if (ready != WSA_WAIT_EVENT_0) return ReceiveStatus::Failed;  // the caller pauses and tries again
  // Reset before the next recvfrom: a datagram arriving after this sets
  // the event again, so none is missed.
  WSANETWORKEVENTS happened{};
  (void)WSAEnumNetworkEvents(handles_->socket, handles_->readable, &happened);
  return std::nullopt;
}

void UdpSocket::Wake() const {
  std::shared_lock lock(useMutex_);
  if (handles_->wake == WSA_INVALID_EVENT) return;
  woken_.store(true, std::memory_order_release);
  WSASetEvent(handles_->wake);
}

void UdpSocket::Close() {
  Wake();
  std::unique_lock lock(useMutex_);
  CloseHandles();
}

void UdpSocket::CloseHandles() {
  Handles& handles = *handles_;
  if (handles.socket != INVALID_SOCKET) closesocket(handles.socket);
  if (handles.readable != WSA_INVALID_EVENT) WSACloseEvent(handles.readable);
  if (handles.wake != WSA_INVALID_EVENT) WSACloseEvent(handles.wake);
  handles.socket = INVALID_SOCKET;
  handles.readable = WSA_INVALID_EVENT;
  handles.wake = WSA_INVALID_EVENT;
  handles.winsock.reset();  // after the socket: WinSock goes last
}

}  // namespace talvenor
