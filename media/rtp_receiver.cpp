#include "media/rtp_receiver.h"

#include <algorithm>

namespace talvenor {

RtpReceiver::RtpReceiver(std::shared_ptr<const LoadedG729Library> g729) : codecs_(std::move(g729)) {}

void RtpReceiver::Take(RtpCall& call, std::span<const std::byte> datagram, const Ipv4Endpoint& source) {
  std::optional<RtpPacket> packet = ParseRtp(datagram);
  if (!packet) return;
  // Nothing before the call is answered, nothing after it ended.
  if (!call.Hearing()) return;
  if (!FromFarEnd(call, packet->header.payloadType, source)) return;
  auto lock = call.LockFrames();
  if (call.HostHoldsTooManyFrames()) return;
  Assemble(call, *packet);
}

bool RtpReceiver::FromFarEnd(RtpCall& call, int payloadType, const Ipv4Endpoint& source) {
  if (!call.AwaitingFirstPacket()) return source == source_;
  // Only the far end may set where the audio goes: the address its SDP
  // named, or the one its SIP comes from (a phone behind NAT sends from its
  // public address), any port. A stranger's packets change nothing.
  if (source.address != call.RtpPeer().address && source.address != call.SipPeer().address) return false;
  // From now on the module answers to where the far end sends from, and
  // hears nothing else: not even another port of that address.
  source_ = source;
  call.TakeFirstPacket(payloadType, source);
  return true;
}

void RtpReceiver::Assemble(RtpCall& call, const RtpPacket& packet) {
  int type = packet.header.payloadType;
  if (packet.header.marker) fill_ = 0;  // the marker starts the frame afresh
  size_t decoded = 0;
  if (call.PayloadTypeEnabled(type)) {
    call.UsePayloadType(type);  // answer with the codec the far end sends
    std::span payload(reinterpret_cast<const uint8_t*>(packet.payload.data()), packet.payload.size());
    decoded = codecs_.Decode(type, payload, decoded_);
  } else {
    fill_ = 0;
  }
  call.MediaFlows();
  for (size_t at = 0; at < decoded;) {
    size_t taken = std::min(decoded - at, kFrameSamples - fill_);
    std::copy_n(decoded_.begin() + static_cast<std::ptrdiff_t>(at), taken,
                frame_.begin() + static_cast<std::ptrdiff_t>(fill_));
    fill_ += taken;
    at += taken;
    if (fill_ == kFrameSamples) {
      fill_ = 0;
      // A long packet fills more than one frame: the host's limit holds for
      // each, and what it cannot take is dropped like a whole packet.
      if (call.HostHoldsTooManyFrames()) break;
      call.DeliverFrame(frame_.data());
    }
  }
}

}  // namespace talvenor
