#include "module/sip_socket.h"

namespace talvenor {

namespace {
thread_local bool onReceiveThread = false;
}  // namespace

bool SipSocket::OnReceiveThread() { return onReceiveThread; }

SipSocket::OpenResult SipSocket::Open(const Ipv4Endpoint& local) {
  auto socket = std::make_shared<UdpSocket>();
  if (!socket->Open()) return OpenResult::NotOpened;
  if (!socket->Bind(local)) return OpenResult::NotBound;
  {
    std::scoped_lock lock(mutex_);
    socket_ = socket;
  }
  boundPort_ = HostPort(socket->LocalEndpoint().port);
  return OpenResult::Opened;
}

void SipSocket::StartReceiving(DatagramSink& sink, TrafficGuard::SettingsSource guardSettings) {
  std::shared_ptr<UdpSocket> socket = Current();
  ++receiveThreads_;
  try {
    receiveThread_ = std::thread([this, socket, &sink, guardSettings = std::move(guardSettings)] {
      ReceiveThreadProcedure(socket, sink, guardSettings);
    });
  } catch (...) {
    --receiveThreads_;
    throw;
  }
}

void SipSocket::ReceiveThreadProcedure(std::shared_ptr<UdpSocket> socket, DatagramSink& sink,
                                       TrafficGuard::SettingsSource guardSettings) {
  onReceiveThread = true;
  ReceiveLoop loop(sink, std::move(socket), std::move(guardSettings));
  loop.Run();
  --receiveThreads_;
}

void SipSocket::Close() {
  std::shared_ptr<UdpSocket> socket;
  {
    std::scoped_lock lock(mutex_);
    socket = std::move(socket_);
  }
  boundPort_ = 0;
  if (socket) socket->Wake();
  if (receiveThread_.joinable()) {
    if (receiveThread_.get_id() == std::this_thread::get_id()) {
      // Shut down from a host callback on the receive thread: it cannot wait
      // for itself. It holds its own reference to the socket and ends when
      // the callback returns, finding the socket closed.
      receiveThread_.detach();
    } else {
      receiveThread_.join();
    }
  }
  // Closing frees the port at once, for the next CreateCom.
  if (socket) socket->Close();
}

std::shared_ptr<UdpSocket> SipSocket::Current() const {
  std::scoped_lock lock(mutex_);
  return socket_;
}

long SipSocket::Send(std::span<const char> bytes, const Ipv4Endpoint& destination) const {
  if (sendCapture_) {
    sendCapture_(std::string_view(bytes.data(), bytes.size()), destination);
    return static_cast<long>(bytes.size());
  }
  std::shared_ptr<UdpSocket> socket = Current();
  return socket ? socket->SendTo(bytes, destination) : -1;
}

Ipv4Endpoint SipSocket::LocalEndpoint() const {
  std::shared_ptr<UdpSocket> socket = Current();
  return socket ? socket->LocalEndpoint() : Ipv4Endpoint{};
}

}  // namespace talvenor
