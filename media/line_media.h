// The RTP of one call: a UDP socket on an even port of its own, the
// frames the host hands over encoded and sent (unless silent), and a receive
// thread that passes every datagram to the call's RTP receiver.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "media/line_codecs.h"
#include "media/rtp_call.h"
#include "media/rtp_packet.h"
#include "media/rtp_receiver.h"
#include "platform/udp_socket.h"

namespace talvenor {

// What the media takes from the settings when it opens.
struct MediaSettings {
  uint16_t rtpBasePort = 8000;    // even
  uint32_t silenceThreshold = 0;  // a frame is voice when a sample's magnitude reaches it
  // When set, read for every frame instead: the VoIP page moves it during calls.
  const std::atomic<uint32_t>* liveSilenceThreshold = nullptr;
  uint32_t bindAddress = 0;       // network order; 0 is any
  std::string localAddress;       // the LocalAddress setting
  std::shared_ptr<const LoadedG729Library> g729;
};

// A call's RTP port is the base port plus an even offset below this span:
// the VoIP page keeps the base at most 65400, which leaves every such port
// below 65536.
inline constexpr uint32_t kRtpPortSpan = 136;
inline constexpr uint16_t kHighestEvenPort = 65534;
// How many ports a call may take from `basePort` on: every second one
// within the span, none beyond the highest port (1 at the very top).
uint32_t RtpPortSlots(uint16_t basePort);

class LineMedia final : public MediaHandle {
public:
  // Opens the media of a call: the socket on a free port drawn at random
  // among those of RtpPortSlots (same parity as the base port) and the local
  // address toward the peer, both told to the call. Null when no port or
  // no local address could be had. The receive loop is the caller's to run.
  static std::shared_ptr<LineMedia> Open(RtpCall& call, MediaSettings settings);
  // Receives until the socket is woken, then tells the call.
  void ReceiveLoop(RtpCall& call);

  void Wake() override;
  void SendAudio(RtpCall& call, const int16_t* samples, size_t count, bool force) override;

  explicit LineMedia(MediaSettings settings);

private:
  // One packet of `length` payload bytes already in place, stamped
  // `clockOffset` samples after the frame's start. Under the send lock.
  void SendPacket(RtpCall& call, int type, size_t length, uint32_t clockOffset);

  static constexpr size_t kDatagramBytes = 1500;
  static constexpr size_t kFrameSamples = RtpReceiver::kFrameSamples;

  UdpSocket socket_;
  const uint32_t silenceThreshold_;
  const std::atomic<uint32_t>* const liveSilenceThreshold_;

  std::mutex sendMutex_;  // the host's audio thread and the answer's silence burst
  LineCodecs sendCodecs_;
  std::array<uint8_t, kDatagramBytes> packet_{};
  uint16_t sequence_;
  uint32_t timestamp_;
  uint32_t ssrc_;
  bool afterSilence_ = true;  // the next packet sent carries the marker bit

  // The receive thread's own.
  std::array<char, kDatagramBytes> datagram_{};
  RtpReceiver receiver_;
};

}  // namespace talvenor
