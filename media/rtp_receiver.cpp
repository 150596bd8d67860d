#include "media/rtp_receiver.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace talvenor {

namespace {

// Below this peak a frame is silence, where the playout delay may grow.
constexpr int kQuietPeak = 64;
// A receive thread that fell this far behind (a stalled process) starts the
// clock again at the present rather than hand the host a backlog.
constexpr int64_t kLargestLag = 4 * static_cast<int64_t>(RtpReceiver::kFrameSamples);
constexpr int64_t kSamplesPerMillisecond = 8;
// The reception is looked at every 5 s of playout.
constexpr unsigned kFramesPerReport = 125;

}  // namespace

RtpReceiver::RtpReceiver(std::shared_ptr<const LoadedG729Library> g729) : codecs_(std::move(g729)) {}

int64_t RtpReceiver::Now() {
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::microseconds>(since).count() / 125;
}

void RtpReceiver::Take(RtpCall& call, std::span<const std::byte> datagram, const Ipv4Endpoint& source,
                       int64_t now) {
  std::optional<RtpPacket> packet = ParseRtp(datagram);
  if (!packet) return;
  // Nothing before the call is answered, nothing after it ended.
  if (!call.Hearing()) return;
  if (!FromFarEnd(call, packet->header, source)) return;
  int type = packet->header.payloadType;
  if (call.PayloadTypeEnabled(type)) {
    call.UsePayloadType(type);  // answer with the codec the far end sends
    buffer_.Put(packet->header, packet->payload, now);
    if (!clockRunning_) {
      clockRunning_ = true;
      frameDue_ = now;
    }
  }
  call.MediaFlows();
}

bool RtpReceiver::FromFarEnd(RtpCall& call, const RtpHeader& header, const Ipv4Endpoint& source) {
  // Read in this order: a new SDP replaces the peer before it marks the call
  // as awaiting its first packet.
  bool fresh = call.AwaitingFirstPacket();
  RtpSourceLatch::Verdict verdict =
      latch_.Judge(source, header.ssrc, call.PayloadTypeEnabled(header.payloadType), call.RtpPeer(), fresh);
  // From now on the module answers to where the far end sends from.
  if (verdict == RtpSourceLatch::Verdict::Take) call.TakeFirstPacket(header.payloadType, source);
  return verdict != RtpSourceLatch::Verdict::Refuse;
}

void RtpReceiver::Play(RtpCall& call, int64_t now) {
  if (!clockRunning_ || !call.Hearing()) return;
  if (now - frameDue_ > kLargestLag) {
    // Far behind: what should have played by now is not played late.
    frameDue_ = now;
    buffer_.Resync(now);
  }
  while (now >= frameDue_) {
    bool heard = Assemble(frameDue_);
    frameDue_ += kFrameSamples;
    {
      auto lock = call.LockFrames();
      // A frame the host has no room for is dropped.
      if (!call.HostHoldsTooManyFrames()) call.DeliverFrame(frame_.data(), heard);
    }
    // The host hears of the reception without the frame lock held.
    if (++framesSinceReport_ == kFramesPerReport) Report(call);
  }
}

void RtpReceiver::Report(RtpCall& call) {
  framesSinceReport_ = 0;
  uint64_t played = buffer_.PlayedPackets() - playedAtReport_;
  uint64_t lost = buffer_.LostPackets() - lostAtReport_;
  playedAtReport_ = buffer_.PlayedPackets();
  lostAtReport_ = buffer_.LostPackets();
  uint64_t expected = played + lost;
  auto loss = static_cast<unsigned>(expected == 0 ? 0 : (100 * lost + expected / 2) / expected);
  auto delay = static_cast<unsigned>(buffer_.Delay() / kSamplesPerMillisecond);
  // A clean reception is not worth a word, unless it follows one that was not.
  bool clean = loss == 0 && delay <= JitterBuffer::kStartDelay / kSamplesPerMillisecond;
  bool reportedClean = reportedLoss_ == 0 && reportedDelay_ <= JitterBuffer::kStartDelay / kSamplesPerMillisecond;
  if ((clean && reportedClean) || (loss == reportedLoss_ && delay == reportedDelay_)) return;
  reportedLoss_ = loss;
  reportedDelay_ = delay;
  call.ReportReception(delay, loss);
}

int RtpReceiver::MillisecondsToNextFrame(int64_t now) const {
  if (!clockRunning_) return -1;
  int64_t wait = std::clamp<int64_t>(frameDue_ - now, 0, kLargestLag);
  return static_cast<int>((wait + kSamplesPerMillisecond - 1) / kSamplesPerMillisecond);
}

bool RtpReceiver::Assemble(int64_t start) {
  bool heard = false;
  while (pendingCount_ < kFrameSamples) {
    std::span<int16_t> room = std::span(pending_).subspan(pendingCount_);
    JitterBuffer::Piece piece =
        buffer_.Next(start + static_cast<int64_t>(pendingCount_), kFrameSamples - pendingCount_, quiet_);
    size_t added = 0;
    switch (piece.kind) {
      case JitterBuffer::Piece::Kind::Packet: {
        std::span payload(reinterpret_cast<const uint8_t*>(piece.payload.data()), piece.payload.size());
        // One packet gives at most two frames, as much as the codecs decode.
        lastType_ = piece.payloadType;
        added = codecs_.Decode(piece.payloadType, payload, room.first(std::min(room.size(), 2 * kFrameSamples)));
        buffer_.Played(added);
        concealment_.Heard(room.first(added));
        heard = heard || added > 0;
        break;
      }
      case JitterBuffer::Piece::Kind::Conceal: {
        added = std::min(piece.samples, room.size());
        std::span<int16_t> gap = room.first(added);
        // G.729 makes up whole frames from its own decoder state; what it
        // leaves, and every other codec's loss, the generic concealment fills.
        size_t own = codecs_.Conceal(lastType_, gap);
        concealment_.Heard(gap.first(own));
        concealment_.Conceal(gap.subspan(own));
        break;
      }
      case JitterBuffer::Piece::Kind::Silence:
      case JitterBuffer::Piece::Kind::Nothing:
        added = piece.kind == JitterBuffer::Piece::Kind::Nothing ? kFrameSamples - pendingCount_
                                                                 : std::min(piece.samples, room.size());
        std::fill_n(room.begin(), added, int16_t{0});
        break;
    }
    pendingCount_ += added;
  }
  std::copy_n(pending_.begin(), kFrameSamples, frame_.begin());
  std::copy(pending_.begin() + kFrameSamples, pending_.begin() + static_cast<std::ptrdiff_t>(pendingCount_),
            pending_.begin());
  pendingCount_ -= kFrameSamples;
  quiet_ = std::all_of(frame_.begin(), frame_.end(), [](int16_t sample) { return std::abs(sample) < kQuietPeak; });
  return heard;
}

}  // namespace talvenor
