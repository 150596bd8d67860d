// The receive side of a call's RTP, apart from any socket: takes each
// datagram that reached the call's port, keeps to the far end's source,
// decodes, and hands the call 320-sample frames while the host keeps up.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "media/line_codecs.h"
#include "media/rtp_call.h"
#include "media/rtp_packet.h"

namespace talvenor {

class RtpReceiver {
public:
  static constexpr size_t kFrameSamples = 320;

  explicit RtpReceiver(std::shared_ptr<const LoadedG729Library> g729);

  // One datagram from `source`, on the media's receive thread.
  void Take(RtpCall& call, std::span<const std::byte> datagram, const Ipv4Endpoint& source);

private:
  // Whether a packet from `source` is the far end's, latching the source on
  // the first one.
  bool FromFarEnd(RtpCall& call, int payloadType, const Ipv4Endpoint& source);
  // Under the frame lock.
  void Assemble(RtpCall& call, const RtpPacket& packet);

  LineCodecs codecs_;
  Ipv4Endpoint source_;
  // The assembly, guarded by the call's frame lock.
  std::array<int16_t, 2 * kFrameSamples> decoded_{};
  std::array<int16_t, kFrameSamples> frame_{};
  size_t fill_ = 0;
};

}  // namespace talvenor
