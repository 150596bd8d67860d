#include "media/line_media.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "platform/resolver.h"
#include "platform/secure_random.h"
#include "platform/thread_priority.h"
#include "sip/sdp.h"

namespace talvenor {

namespace {

// Random even ports first, then every one in turn from a random one.
constexpr int kRandomPortAttempts = 8;
constexpr std::chrono::milliseconds kPauseAfterFailure{20};

// The interface toward the peer when it is in the SIP peer's /24 network,
// otherwise the LocalAddress setting, otherwise whatever could be had.
uint32_t ChooseLocalAddress(const RtpCall& call, const MediaSettings& settings) {
  Ipv4Endpoint rtpPeer = call.RtpPeer();
  uint32_t interface = LocalAddressToward(rtpPeer.address, rtpPeer.port);
  if (interface != 0 && SameNetwork24(interface, call.SipPeer().address)) return interface;
  if (uint32_t configured = ResolveIpv4(settings.localAddress); configured != 0) return configured;
  return interface != 0 ? interface : settings.bindAddress;
}

}  // namespace

uint32_t RtpPortSlots(uint16_t basePort) {
  if (basePort > kHighestEvenPort) return 1;
  return std::min<uint32_t>(kRtpPortSpan - 2, kHighestEvenPort - basePort) / 2 + 1;
}

LineMedia::LineMedia(MediaSettings settings)
    : silenceThreshold_(settings.silenceThreshold),
      liveSilenceThreshold_(settings.liveSilenceThreshold),
      sendCodecs_(settings.g729), receiver_(settings.g729) {
  std::random_device random;
  sequence_ = static_cast<uint16_t>(random());
  timestamp_ = random();
  ssrc_ = random();  // not a descriptor number, which phones on one host would share
}

std::shared_ptr<LineMedia> LineMedia::Open(RtpCall& call, MediaSettings settings) {
  auto media = std::make_shared<LineMedia>(settings);
  if (!media->socket_.Open()) return nullptr;
  // Nobody can tell the port of the next call from the ports of the calls
  // before it (a guessed port invites packets before the far end's).
  uint32_t slots = RtpPortSlots(settings.rtpBasePort);
  uint16_t port = 0;
  auto tryPort = [&](uint32_t slot) {
    auto candidate = static_cast<uint16_t>(settings.rtpBasePort + 2 * (slot % slots));
    if (media->socket_.Bind({settings.bindAddress, NetworkPort(candidate)})) port = candidate;
  };
  for (int attempt = 0; attempt < kRandomPortAttempts && port == 0; ++attempt) tryPort(SecureRandomNumber());
  uint32_t start = SecureRandomNumber() % slots;
  for (uint32_t step = 0; step < slots && port == 0; ++step) tryPort(start + step);
  if (port == 0) return nullptr;
  uint32_t local = ChooseLocalAddress(call, settings);
  if (local == 0) return nullptr;
  call.SetLocalMedia(port, DottedAddress(local));
  return media;
}

void LineMedia::Wake() { socket_.Wake(); }

void LineMedia::SendAudio(RtpCall& call, const int16_t* samples, size_t count, bool force) {
  {
    std::scoped_lock lock(sendMutex_);
    std::span<const int16_t> frame(samples, samples == nullptr ? 0 : count);
    uint32_t threshold = liveSilenceThreshold_ != nullptr ? liveSilenceThreshold_->load() : silenceThreshold_;
    // Held by the far end: nothing goes out (but the silence burst that
    // opens the path is forced).
    bool voice = !call.Held() && std::any_of(frame.begin(), frame.end(), [threshold](int16_t sample) {
      return static_cast<uint32_t>(std::abs(static_cast<int>(sample))) >= threshold;
    });
    int type = call.PayloadType();
    bool enabled = call.PayloadTypeEnabled(type);
    bool sent = false;
    if ((voice && enabled) || force) {
      // GSM goes one 20 ms frame to a packet: receivers that read only the
      // first frame of a packet (baresip) would otherwise lose half the voice.
      size_t part = type == kPayloadGsm ? kGsmFrameSamples : frame.size();
      for (size_t at = 0; at < frame.size(); at += part) {
        std::span<const int16_t> piece = frame.subspan(at, std::min(part, frame.size() - at));
        size_t length = sendCodecs_.Encode(type, piece, std::span(packet_).subspan(kRtpHeaderBytes));
        if (length == 0) continue;
        SendPacket(call, type, length, static_cast<uint32_t>(at));
        sent = true;
      }
    }
    afterSilence_ = !sent;
    // The sampling clock runs through silence too (RFC 3550).
    timestamp_ += kFrameSamples;
  }
  if (!force) call.AudioTaken();
}

void LineMedia::SendPacket(RtpCall& call, int type, size_t length, uint32_t clockOffset) {
  RtpHeader header{afterSilence_, static_cast<uint8_t>(type), ++sequence_, timestamp_ + clockOffset, ssrc_};
  PackRtpHeader(header, std::as_writable_bytes(std::span(packet_)));
  // A socket closed at the end of the call just refuses the packet.
  socket_.SendTo(std::span(reinterpret_cast<const char*>(packet_.data()), kRtpHeaderBytes + length), call.RtpPeer());
  afterSilence_ = false;
}

void LineMedia::ReceiveLoop(RtpCall& call) {
  TryRaiseThreadPriority();
  while (call.MediaOpen()) {
    // The wait ends in time for the next frame of the playout.
    auto received = socket_.Receive(datagram_, receiver_.MillisecondsToNextFrame(RtpReceiver::Now()));
    using Status = UdpSocket::ReceiveStatus;
    if (received.status == Status::Woken || received.status == Status::Closed) break;
    if (received.status == Status::Failed) std::this_thread::sleep_for(kPauseAfterFailure);
    int64_t now = RtpReceiver::Now();
    // A datagram longer than the buffer is no packet the module takes.
    if (received.status == Status::Datagram && received.realLength <= received.copied) {
      receiver_.Take(call, std::as_bytes(std::span(datagram_).first(received.copied)), received.source, now);
    }
    receiver_.Play(call, now);
  }
  socket_.Close();
  call.MediaEnded();
}

}  // namespace talvenor
