// The receive side of a call's RTP, apart from any socket: takes each
// datagram that reached the call's port, keeps to the far end's source
// (RtpSourceLatch decides which that is),
// puts the packets back in order, and hands the call a 320-sample frame
// every 40 ms of its playout clock, with what was lost made up for a while.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "media/jitter_buffer.h"
#include "media/line_codecs.h"
#include "media/loss_concealment.h"
#include "media/rtp_call.h"
#include "media/rtp_packet.h"
#include "media/rtp_source_latch.h"

namespace talvenor {

class RtpReceiver {
public:
  static constexpr size_t kFrameSamples = 320;

  explicit RtpReceiver(std::shared_ptr<const LoadedG729Library> g729);

  // The receiver's clock: 8 kHz samples since an arbitrary start.
  static int64_t Now();

  // One datagram from `source`, on the media's receive thread.
  void Take(RtpCall& call, std::span<const std::byte> datagram, const Ipv4Endpoint& source) {
    Take(call, datagram, source, Now());
  }
  void Take(RtpCall& call, std::span<const std::byte> datagram, const Ipv4Endpoint& source, int64_t now);
  // Hands the call the frames due by `now`; a frame the host cannot take
  // is dropped.
  void Play(RtpCall& call, int64_t now);
  // How long the receive thread may wait for a datagram before the next
  // frame is due: -1 while no frame is (before the first packet).
  int MillisecondsToNextFrame(int64_t now) const;

  const JitterBuffer& Buffer() const { return buffer_; }

private:
  // Whether a packet from `source` is the far end's; the call hears of each
  // source taken.
  bool FromFarEnd(RtpCall& call, const RtpHeader& header, const Ipv4Endpoint& source);
  // Fills frame_ for the frame that plays from `start`; whether any of it
  // came from a packet.
  bool Assemble(int64_t start);

  LineCodecs codecs_;
  LossConcealment concealment_;
  JitterBuffer buffer_;
  RtpSourceLatch latch_;
  bool clockRunning_ = false;
  int64_t frameDue_ = 0;
  bool quiet_ = true;  // the last frame played was silence
  int lastType_ = -1;  // of the last packet played
  // The reception as last reported, and what was played since.
  void Report(RtpCall& call);
  unsigned framesSinceReport_ = 0;
  uint64_t playedAtReport_ = 0;
  uint64_t lostAtReport_ = 0;
  unsigned reportedDelay_ = 0;
  unsigned reportedLoss_ = 0;
  // Decoded audio beyond the frame being assembled (a packet longer than
  // what the frame still needed).
  std::array<int16_t, 2 * kLargestRtpPayload> pending_{};
  size_t pendingCount_ = 0;
  std::array<int16_t, kFrameSamples> frame_{};
};

}  // namespace talvenor
