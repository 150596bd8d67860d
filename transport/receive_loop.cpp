#include "transport/receive_loop.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/udp_socket.h"

namespace talvenor {

bool DatagramScreen::Accept(std::string_view text) {
  // Compared as text up to a first NUL, as the datagram is used from here on.
  std::string_view current = text.substr(0, std::min(text.find('\0'), text.size()));
  std::string_view previous(previous_.data(), previousLength_);
  previous = previous.substr(0, std::min(previous.find('\0'), previous.size()));
  if (text.size() == previousLength_ && current == previous) return false;
  size_t length = std::min(text.size(), previous_.size());
  std::memcpy(previous_.data(), text.data(), length);
  previousLength_ = length;
  return true;
}

void ReceiveLoop::Run() {
  using Status = UdpSocket::ReceiveStatus;
  // Pause after an error the socket may recover from (ENOMEM): try again,
  // but never spin.
  constexpr std::chrono::milliseconds kPauseAfterFailure{20};
  while (sink_.Receiving()) {
    // One byte stays free for the terminating NUL the text handling expects.
    auto received = socket_->Receive(std::span<char>(buffer_.data(), buffer_.size() - 1));
    if (received.status == Status::Closed || received.status == Status::Woken) break;  // shutdown
    if (received.status == Status::Failed) std::this_thread::sleep_for(kPauseAfterFailure);
    if (received.status != Status::Datagram) continue;
    if (!DatagramScreen::LengthAccepted(received.realLength)) continue;
    buffer_[received.copied] = '\0';
    std::string_view text(buffer_.data(), received.copied);
    if (!screen_.Accept(text)) continue;
    if (!guard_.Screen(text, received.source).empty()) continue;  // banned: no answer
    sink_.HandleDatagram(text, received.source);
  }
}

}  // namespace talvenor
