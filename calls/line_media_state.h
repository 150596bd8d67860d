// What a call line's RTP and its call flows share: the words behind the
// line's RtpCall answers (calls/call_media.cpp), the far end's media
// address, the media handle once opened, and the frames the host holds.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "calls/locked_value.h"
#include "media/rtp_call.h"
#include "platform/endpoint.h"

namespace talvenor {

struct LineMediaState {
  // Single words that one thread writes and another polls.
  std::atomic<bool> open{false};  // the receive thread runs, or is about to
  std::atomic<bool> firstPacketPending{true};  // the far end's next packet sets the source
  std::atomic<bool> held{false};  // the far end holds the call: no audio goes out
  std::atomic<uint8_t> payloadType{0};
  std::atomic<uint16_t> localRtpPort{0};
  std::atomic<unsigned> idleTicks{0};  // timer ticks since audio last came from the far end

  LockedValue<Ipv4Endpoint> rtpPeer;
  // Null before the media opens. Attached, it is open: its receive thread
  // runs until the call's end wakes it.
  LockedValue<std::shared_ptr<MediaHandle>> handle;

  // The frame lock guards the frames handed to the host and the media's
  // receive assembly against the host's releases; re-entrant, since the
  // host may release a frame from inside OnAudioReceived.
  std::recursive_mutex frameLock;
  int outstandingFrames = 0;  // under frameLock
};

}  // namespace talvenor
