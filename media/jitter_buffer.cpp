#include "media/jitter_buffer.h"

#include <algorithm>
#include <cstdlib>

namespace talvenor {

namespace {

// The playout hands the host 40 ms frames: a frame is whole only once its
// last packet is in, so the delay covers the rest of a frame after a packet.
constexpr uint32_t kFrameSamples = 320;
constexpr uint32_t kMargin = 80;  // 10 ms beside what the jitter asks
// A packet this far behind the playout point, or this far ahead in
// sequence, is no late or early packet but a sender that started afresh.
constexpr int kLateWindow = 2 * static_cast<int>(JitterBuffer::kSlots);
// A timestamp gap beyond this is a jump, not a loss.
constexpr int64_t kTimestampJump = 8000;
// One transit difference counts for at most this much in the estimate, so
// that a forged timestamp moves it by a bounded step.
constexpr int64_t kLargestTransitStep = 4 * JitterBuffer::kMostDelay;

int16_t SequenceDistance(uint16_t from, uint16_t to) { return static_cast<int16_t>(static_cast<uint16_t>(to - from)); }

}  // namespace

uint32_t JitterBuffer::TargetDelay() const {
  uint64_t completion = packetSamples_ < kFrameSamples ? kFrameSamples - packetSamples_ : 0;
  uint64_t wanted = completion + kMargin + 3ULL * Jitter();
  return static_cast<uint32_t>(std::clamp<uint64_t>(wanted, kLeastDelay, kMostDelay));
}

void JitterBuffer::UpdateJitter(uint32_t timestamp, int64_t now) {
  // Sampled once a frame: a sender that sends a frame's packets together
  // (two of 20 ms every 40 ms) makes no jitter the playout has to cover.
  int64_t advance = static_cast<int32_t>(timestamp - lastTimestamp_);
  if (haveTransit_ && advance >= 0 && advance < kFrameSamples) return;
  lastTimestamp_ = timestamp;
  uint32_t transit = static_cast<uint32_t>(now) - timestamp;
  if (haveTransit_) {
    int64_t step = std::abs(static_cast<int64_t>(static_cast<int32_t>(transit - lastTransit_)));
    step = std::min(step, kLargestTransitStep);
    // J += (|D| - J) / 16, kept as 16 J in integers: the gain of 1/16 lets
    // one late packet move the estimate little, a lasting change steadily.
    jitter16_ = jitter16_ + static_cast<uint32_t>(step) - ((jitter16_ + 8) >> 4);
  }
  lastTransit_ = transit;
  haveTransit_ = true;
}

void JitterBuffer::Clear() {
  for (Slot& slot : slots_) slot.used = false;
  count_ = 0;
}

bool JitterBuffer::Put(const RtpHeader& header, std::span<const std::byte> payload, int64_t now) {
  if (payload.empty() || payload.size() > kLargestRtpPayload) return false;
  if (count_ == 0 && (!started_ || anchorPending_)) nextSequence_ = header.sequence;
  int ahead = SequenceDistance(nextSequence_, header.sequence);
  if (ahead < 0 && anchorPending_ && ahead > -static_cast<int>(kSlots)) {
    // Nothing of this spurt was played: an earlier packet that came second
    // still takes its place, when the window holds every packet kept.
    bool fits = std::all_of(slots_.begin(), slots_.end(), [&](const Slot& slot) {
      return !slot.used || SequenceDistance(header.sequence, slot.header.sequence) < static_cast<int>(kSlots);
    });
    if (fits) {
      nextSequence_ = header.sequence;
      ahead = 0;
    }
  }
  if (ahead < 0 && ahead >= -kLateWindow) {
    ++dropped_;  // its place was played
    return false;
  }
  if (ahead < 0 || ahead >= static_cast<int>(kSlots)) {
    Clear();
    nextSequence_ = header.sequence;
    anchorPending_ = true;
    haveTransit_ = false;
  }
  Slot& slot = slots_[header.sequence % kSlots];
  // Within the window a slot in use holds this very sequence number.
  if (slot.used) {
    ++dropped_;
    return false;
  }
  UpdateJitter(header.timestamp, now);
  slot.used = true;
  slot.header = header;
  slot.arrival = now;
  slot.length = static_cast<uint16_t>(payload.size());
  std::copy(payload.begin(), payload.end(), slot.payload.begin());
  ++count_;
  return true;
}

JitterBuffer::Slot* JitterBuffer::Head() {
  if (count_ == 0) return nullptr;
  for (size_t step = 0; step < kSlots; ++step) {
    auto sequence = static_cast<uint16_t>(nextSequence_ + step);
    Slot& slot = slots_[sequence % kSlots];
    if (slot.used && slot.header.sequence == sequence) return &slot;
  }
  return nullptr;
}

void JitterBuffer::Anchor(const Slot& head, int64_t now) {
  delay_ = started_ ? TargetDelay() : kStartDelay;
  int64_t wait = std::clamp<int64_t>(head.arrival + delay_ - now, 0, kMostDelay);
  playTimestamp_ = head.header.timestamp - static_cast<uint32_t>(wait);
  nextSequence_ = head.header.sequence;
  started_ = true;
  anchorPending_ = false;
  spurtWait_ = true;
  concealed_ = 0;
}

JitterBuffer::Piece JitterBuffer::Fill(size_t samples, bool silence) {
  Piece piece;
  piece.samples = samples;
  playTimestamp_ += static_cast<uint32_t>(samples);
  if (silence) {
    piece.kind = Piece::Kind::Silence;
  } else {
    piece.kind = Piece::Kind::Conceal;
    concealed_ += static_cast<uint32_t>(samples);
    concealedTotal_ += samples;
  }
  return piece;
}

JitterBuffer::Piece JitterBuffer::Next(int64_t now, size_t most, bool quiet) {
  most = std::clamp<size_t>(most, 1, kFrameSamples);
  for (;;) {
    Slot* head = Head();
    if (!started_ || anchorPending_) {
      if (head == nullptr) return started_ ? Fill(most, true) : Piece{};
      Anchor(*head, now);
    }
    if (quiet && concealed_ == 0 && TargetDelay() >= delay_ + kStretch) {
      // Silence while the audio is quiet: the delay grows, nobody hears it.
      auto samples = static_cast<uint32_t>(std::min<size_t>(most, kStretch));
      delay_ += samples;
      Piece piece;
      piece.kind = Piece::Kind::Silence;
      piece.samples = samples;
      return piece;
    }
    if (head == nullptr) {
      // Lost or late: made up for a while, then silence until the stream
      // comes back, which then starts a spurt of its own.
      if (spurtWait_ || concealed_ >= kMostConcealed) {
        anchorPending_ = true;
        return Fill(most, true);
      }
      return Fill(std::min<size_t>(most, kMostConcealed - concealed_), false);
    }
    int64_t offset = static_cast<int32_t>(head->header.timestamp - playTimestamp_);
    if (offset < 0 && !(head->header.sequence == nextSequence_ && concealed_ == 0)) {
      head->used = false;  // its time has passed
      --count_;
      ++dropped_;
      continue;
    }
    if (offset > 0 && !spurtWait_ && (head->header.marker || offset > kTimestampJump)) {
      Anchor(*head, now);  // a talk spurt begins after silence
      continue;
    }
    if (offset > 0) {
      size_t gap = std::min<size_t>(most, static_cast<size_t>(offset));
      if (spurtWait_ || concealed_ >= kMostConcealed) return Fill(gap, true);
      return Fill(std::min<size_t>(gap, kMostConcealed - concealed_), false);
    }
    Piece piece;
    piece.kind = Piece::Kind::Packet;
    piece.payloadType = head->header.payloadType;
    piece.payload = std::span<const std::byte>(head->payload.data(), head->length);
    head->used = false;
    --count_;
    lostPackets_ += static_cast<uint16_t>(head->header.sequence - nextSequence_);
    ++playedPackets_;
    nextSequence_ = static_cast<uint16_t>(head->header.sequence + 1);
    playTimestamp_ = head->header.timestamp;
    concealed_ = 0;
    spurtWait_ = false;
    return piece;
  }
}

void JitterBuffer::Resync(int64_t now) {
  for (Slot& slot : slots_) {
    if (slot.used && slot.arrival + delay_ < now) {
      slot.used = false;
      --count_;
      ++dropped_;
    }
  }
  anchorPending_ = true;
}

void JitterBuffer::Played(size_t samples) {
  playTimestamp_ += static_cast<uint32_t>(samples);
  if (samples > 0 && samples <= 2 * kFrameSamples) packetSamples_ = static_cast<uint32_t>(samples);
}

}  // namespace talvenor
