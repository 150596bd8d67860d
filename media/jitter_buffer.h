// The received packets of a call put back in order for playout, apart from
// any socket or codec. Packets are held by sequence number (wrapping at
// 2^16) in a fixed number of slots; the playout asks for what comes next at
// its own pace and gets a packet to decode, or a number of samples to
// conceal or to fill with silence. Times are counts of 8 kHz samples on the
// receiver's clock.
//
// The playout runs behind the arrivals by a delay that follows the
// interarrival jitter (the smoothed estimate RTP receivers keep, taken once
// per 40 ms frame). The delay changes only where nobody hears it: at the
// start of a talk spurt (the marker bit, or the first packet after the
// stream went dry), or by a piece of inserted silence while the audio is
// quiet.
//
// Every header field comes from the network: a sequence number far from
// the playout point restarts the stream, a timestamp far from it likewise,
// and nothing here grows with what arrives.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "media/rtp_packet.h"

namespace talvenor {

class JitterBuffer {
public:
  static constexpr size_t kSlots = 32;
  static constexpr uint32_t kStartDelay = 320;     // 40 ms, before any jitter was measured
  static constexpr uint32_t kLeastDelay = 160;     // 20 ms
  static constexpr uint32_t kMostDelay = 1600;     // 200 ms
  static constexpr uint32_t kMostConcealed = 480;  // 60 ms of made-up audio, then silence
  static constexpr uint32_t kStretch = 160;        // what one step in silence adds to the delay

  struct Piece {
    enum class Kind { Nothing, Packet, Conceal, Silence };
    Kind kind = Kind::Nothing;
    size_t samples = 0;  // Conceal and Silence: how many
    uint8_t payloadType = 0;
    std::span<const std::byte> payload;  // Packet: valid until the next Put or Next
  };

  // A packet that arrived at `now`; false when it is dropped: a duplicate,
  // or one whose place in the playout has passed.
  bool Put(const RtpHeader& header, std::span<const std::byte> payload, int64_t now);
  // What plays from `now` on, at most `most` samples of a gap (at least 1).
  // `quiet`: what was just played is silence, so the delay may grow here.
  // Nothing until a first packet came.
  Piece Next(int64_t now, size_t most, bool quiet);
  // The packet Next gave decoded into this many samples.
  void Played(size_t samples);
  // The playout fell behind (a stalled thread): packets whose time passed
  // are dropped, and the next one played begins a talk spurt at `now`.
  void Resync(int64_t now);

  bool Started() const { return started_; }
  // The playout delay now, and the one the jitter asks for.
  uint32_t Delay() const { return delay_; }
  uint32_t TargetDelay() const;
  // The interarrival jitter estimate, in samples.
  uint32_t Jitter() const { return jitter16_ >> 4; }
  uint64_t Dropped() const { return dropped_; }
  uint64_t Concealed() const { return concealedTotal_; }
  // Packets played, and packets that never played in their place (lost, or
  // too late), counted by the sequence numbers between those played.
  uint64_t PlayedPackets() const { return playedPackets_; }
  uint64_t LostPackets() const { return lostPackets_; }

private:
  struct Slot {
    bool used = false;
    RtpHeader header;
    int64_t arrival = 0;
    uint16_t length = 0;
    std::array<std::byte, kLargestRtpPayload> payload{};
  };

  void UpdateJitter(uint32_t timestamp, int64_t now);
  // The stored packet nearest after the playout point, or null.
  Slot* Head();
  void Clear();
  // Begins a talk spurt at `head`: the delay is set afresh and silence
  // fills the time until the packet is due.
  void Anchor(const Slot& head, int64_t now);
  // A gap of `samples` played as made-up audio or as silence.
  Piece Fill(size_t samples, bool silence);

  std::array<Slot, kSlots> slots_{};
  size_t count_ = 0;
  bool started_ = false;
  bool anchorPending_ = true;  // the next packet played begins a talk spurt
  bool spurtWait_ = false;     // anchored: silence until the spurt's first packet
  uint16_t nextSequence_ = 0;
  uint32_t playTimestamp_ = 0;  // the RTP time of the next sample played
  uint32_t delay_ = kStartDelay;
  uint32_t concealed_ = 0;  // in a row, since the last packet played
  uint32_t packetSamples_ = 160;
  uint32_t jitter16_ = 0;  // the estimate times 16, as RFC 3550 keeps it
  uint32_t lastTransit_ = 0;
  uint32_t lastTimestamp_ = 0;  // of the packet the estimate last took
  bool haveTransit_ = false;
  uint64_t dropped_ = 0;
  uint64_t concealedTotal_ = 0;
  uint64_t playedPackets_ = 0;
  uint64_t lostPackets_ = 0;
};

}  // namespace talvenor
