// What the RTP of a line needs of its call, and what it tells it. The call
// line implements it; the media code knows nothing more of calls.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/endpoint.h"

namespace talvenor {

class RtpCall {
public:
  // The media's receive thread runs while this holds.
  virtual bool MediaOpen() const = 0;
  // The call was answered and has not ended: received audio is heard.
  virtual bool Hearing() const = 0;
  // No packet was taken since the far end's SDP last said where its media
  // comes from (RtpPeer until then).
  virtual bool AwaitingFirstPacket() const = 0;
  virtual Ipv4Endpoint RtpPeer() const = 0;
  virtual Ipv4Endpoint SipPeer() const = 0;
  // A packet of this payload type from `source` took the media's latch
  // (the first taken, or the SDP's own endpoint after a source behind NAT):
  // from now on the audio goes there.
  virtual void TakeFirstPacket(int payloadType, const Ipv4Endpoint& source) = 0;
  // The socket is bound: its port and the local address offered in SDP.
  virtual void SetLocalMedia(uint16_t port, std::string localIp) = 0;

  virtual bool PayloadTypeEnabled(int type) const = 0;
  virtual int PayloadType() const = 0;
  // The far end sends this type: the call answers with it.
  virtual void UsePayloadType(int type) = 0;
  // Audio flows: the call is connected, the host told once.
  virtual void MediaFlows() = 0;
  // The far end holds the call: nothing is sent.
  virtual bool Held() const = 0;

  // The frames handed to the host, against the host's releases.
  virtual std::unique_lock<std::recursive_mutex> LockFrames() = 0;
  virtual bool HostHoldsTooManyFrames() const = 0;
  // One frame of 320 samples to the host. `heard`: some of it came from
  // the far end's packets, rather than all made up or silence; only such a
  // frame shows that the far end is still there.
  virtual void DeliverFrame(const int16_t* samples, bool heard) = 0;
  // How the reception goes, now and then while it is not clean: the
  // playout delay and the share of the audio that was made up.
  virtual void ReportReception(unsigned delayMilliseconds, unsigned lossPercent) = 0;
  // One frame of the host's was taken (on the host's own thread).
  virtual void AudioTaken() = 0;
  // The receive thread ends: the call closes its dialog and tells the host.
  virtual void MediaEnded() = 0;

protected:
  ~RtpCall() = default;
};

// The media of a line as the call sees it: the RTP socket and its receive
// thread.
class MediaHandle {
public:
  virtual ~MediaHandle() = default;
  // Wakes the media's receive thread, which then closes the socket and ends
  // (RtpCall::MediaEnded).
  virtual void Wake() = 0;
  // Encodes and sends one frame of the host's samples.
  virtual void SendAudio(RtpCall& call, const int16_t* samples, size_t count, bool force) = 0;
};

}  // namespace talvenor
