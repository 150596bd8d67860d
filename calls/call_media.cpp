#include "calls/call_media.h"

#include "calls/call_info.h"
#include "calls/call_line.h"
#include "calls/line_threads.h"
#include "calls/peer_lookup.h"

namespace talvenor {

bool OpenCallMedia(const std::shared_ptr<CallLine>& line, MediaSettings settings) {
  std::shared_ptr<LineMedia> media = LineMedia::Open(*line, std::move(settings));
  if (!media) return false;
  line->AttachMedia(media);
  if (!StartLineThread(line, [media](CallLine& self) { media->ReceiveLoop(self); })) {
    line->MediaNotStarted();
    return false;
  }
  // Ended meanwhile (the host hung up while the media opened).
  if (line->TakeMediaLeftOpen()) media->Wake();
  return true;
}

bool CallLine::Hearing() const { return endReason_ == kEndNormal && !finished_; }

void CallLine::TakeFirstPacket(int type, const Ipv4Endpoint& source) {
  media_.rtpPeer.Replace(source);
  media_.firstPacketPending = false;
  std::string info = RtpInfoText(type, source);
  bool elsewhere = source.address != SipPeer().address;
  if (!elsewhere) {
    if (std::string name = info_.Snapshot().peerHostName; !name.empty()) info = WithPeerName(info, name);
  }
  ShowCallInfo(info);
  // Only now: the lookup adds the name to this text, not to the one before.
  if (elsewhere) StartPeerLookup(shared_from_this(), source.address);
}

void CallLine::SetLocalMedia(uint16_t port, std::string localIp) {
  media_.localRtpPort = port;
  dialog_.Update([&](DialogState& dialog) { dialog.localIp = std::move(localIp); });
}

bool CallLine::PayloadTypeEnabled(int type) const {
  return type >= 0 && type < kNamedPayloadTypes && enabledPayloadTypes[static_cast<size_t>(type)];
}

void CallLine::UsePayloadType(int type) {
  media_.payloadType = static_cast<uint8_t>(type);
  if (type == kPayloadG729) context_.SetG729Busy(true);
}

void CallLine::MediaFlows() {
  if (state_.exchange(CallState::Connected) == CallState::Connected) return;
  CallHost([](CCon& connection) { connection.OnConnected(0, 0); });
}

void CallLine::ReportReception(unsigned delayMilliseconds, unsigned lossPercent) {
  std::string text = info_.Snapshot().text + ReceptionText(delayMilliseconds, lossPercent);
  CallHost([&](CCon& connection) { connection.OnCallInfo(text); });
}

void CallLine::AudioTaken() {
  CallHost([](CCon& connection) { connection.OnAudioSent(); }, HostThread::Host);
}

}  // namespace talvenor
