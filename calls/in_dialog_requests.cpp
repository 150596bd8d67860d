// The far end's requests within a call: each gets a final answer. A new
// offer (re-INVITE or UPDATE) may hold or resume the call, move its media or
// change its codec; OPTIONS and INFO are answered 200, other methods 405.
#include <fmt/printf.h>

#include <tuple>
#include <utility>

#include "calls/call_line.h"
#include "calls/call_timing.h"
#include "calls/line_threads.h"
#include "sip/compose.h"
#include "sip/header_names.h"
#include "sip/recipes.h"
#include "sip/sdp.h"
#include "sip/sip_message.h"

namespace talvenor {

namespace {

constexpr std::string_view kInDialogAllowLine = "\r\nAllow: INVITE, ACK, CANCEL, BYE, OPTIONS, UPDATE, INFO";

// Where a request of the far end stands among those it sent before.
enum class RequestOrder { Next, Stale, Repeated };

bool HasSdpOffer(const SipMessage& request) { return !SdpMediaLine(request).empty(); }

}  // namespace

void CallLine::AnswerRequest(const SipMessage& request, SipKind status, std::string_view extraLines,
                             std::string_view body) {
  context_.SendSip(ComposeResponse(status, request, extraLines, body),
                   {request.SourceAddress(), request.SourcePort()});
}

void CallLine::HandleRequest(const SipMessage& request, SipKind kind) {
  int32_t number = CseqNumber(request);
  bool firstTransaction = false;
  RequestOrder order = dialog_.Update([&](DialogState& dialog) {
    // The caller's INVITE again, or its CANCEL and ACK: the first transaction.
    firstTransaction = incoming_ && number == dialog.inviteCseq;
    if (firstTransaction || kind == kAck || kind == kCancel || kind == kBye) return RequestOrder::Next;
    // The far end numbers its requests upward: a lower number is a
    // request that lost its way, not a new one.
    if (number < dialog.remoteCseq) return RequestOrder::Stale;
    if (kind == kInvite && number == dialog.pendingAckCseq) return RequestOrder::Repeated;
    dialog.remoteCseq = number;
    return RequestOrder::Next;
  });
  if (order == RequestOrder::Stale) return AnswerRequest(request, kStatus500);
  if (order == RequestOrder::Repeated) return;  // its 200 is being repeated too
  switch (kind) {
    case kInvite:
      if (firstTransaction) SendInCallResponse(kStatus180, {}, {});  // repeated: still ringing
      else HandleReinvite(request);
      return;
    case kCancel:
      // After the final answer a CANCEL changes nothing; the dispatcher
      // answered it 200 either way.
      if (!incoming_ || answered_ || state_ != CallState::Setup) return;
      SendInCallResponse(kStatus487, {}, {});
      Finish();
      return;
    case kBye:
      Finish();  // the dispatcher answered 200
      return;
    case kAck:
      if (firstTransaction) return TakeFirstAck(request);
      if (number != 0 && dialog_.Update([number](DialogState& dialog) {
            if (dialog.pendingAckCseq != number) return false;
            dialog.pendingAckCseq = 0;
            return std::exchange(dialog.offerPending, false);
          })) {
        TakeAnswer(request);
      }
      return;
    case kUpdate:
      if (std::optional<std::string> answer = AnswerOffer(request, false)) {
        AnswerRequest(request, kStatus200, {}, *answer);
      }
      return;
    case kOptions:
      return AnswerRequest(request, kStatus200, kInDialogAllowLine);
    case kInfo:
      return AnswerRequest(request, kStatus200);
    default:
      return AnswerRequest(request, kStatus405, kInDialogAllowLine);
  }
}

std::optional<std::string> CallLine::AnswerOffer(const SipMessage& request, bool mayOffer) {
  if (std::string_view required = RequiredExtensions(request); !required.empty()) {
    AnswerRequest(request, kStatus420, UnsupportedLines(required));  // no extension is supported
    return std::nullopt;
  }
  if (state_ == CallState::Setup) {
    AnswerRequest(request, kStatus491);  // the first offer is still being answered
    return std::nullopt;
  }
  if (HasSdpOffer(request) && dialog_.Read([](const DialogState& dialog) { return dialog.offerPending; })) {
    AnswerRequest(request, kStatus491);  // our offer waits for its answer in the ACK (RFC 3311 5.2)
    return std::nullopt;
  }
  if (!HasSdpOffer(request)) {
    if (!mayOffer) return std::string();  // nothing to answer
    // Our offer in the 200, a new version of our SDP; the ACK answers it.
    dialog_.Update([](DialogState& dialog) {
      dialog.offerPending = true;
      ++dialog.sdpVersion;
    });
    return BuildSdp();
  }
  std::optional<SdpOffer> offer = ReadSdpOffer(request);
  int type = offer ? ChooseAnswerType(*offer, enabledPayloadTypes, media_.payloadType) : -1;
  if (type < 0) {
    AnswerRequest(request, kStatus488);  // nothing in common: the call stays as it was
    return std::nullopt;
  }
  MediaDirection direction = AnswerDirection(*offer);
  media_.payloadType = static_cast<uint8_t>(type);
  if (offer->peer.address != 0 && offer->peer != RtpPeer()) {
    media_.rtpPeer.Replace(offer->peer);
    media_.firstPacketPending = true;  // the media moved: the far end's next packet sets its source again
  }
  FollowDirection(direction);
  auto [localIp, version, streams] = dialog_.Update([&](DialogState& dialog) {
    dialog.offeredStreams = OfferedMediaLines(request);
    return std::tuple(dialog.localIp, ++dialog.sdpVersion, dialog.offeredStreams);
  });
  return OnOfferedStreams(BuildSdpAnswer(localIp, media_.localRtpPort, type, version, direction), streams);
}

void CallLine::FollowDirection(MediaDirection ours) {
  bool hold = ours == MediaDirection::RecvOnly || ours == MediaDirection::Inactive;
  if (media_.held.exchange(hold) != hold) {
    CallHost([hold](CCon& connection) { connection.OnCallInfo(hold ? "held by the far end" : "resumed"); });
  }
}

void CallLine::TakeFirstAck(const SipMessage& ack) {
  awaitingResponse_ = false;
  if (state_ == CallState::Setup || finished_) return;  // the ACK of a refusal
  bool offered = dialog_.Update([](DialogState& dialog) { return std::exchange(dialog.offerPending, false); });
  // The INVITE had no offer, so ours was in the 200: an ACK without a usable
  // answer leaves the call without media, and it ends (RFC 3261 13.2.1).
  if (offered && !ParseSdp(ack)) return HangUp();
  if (std::optional<SdpOffer> answer = offered ? ReadSdpOffer(ack) : std::nullopt) {
    FollowDirection(AnswerDirection(*answer));  // an answer that holds the call at once
  }
  // Connected at the ACK, though no RTP came yet: a far end that waits to
  // hear us first (or an SBC that latches on our first packet) hears us now.
  MediaFlows();
}

void CallLine::TakeAnswer(const SipMessage& ack) {
  std::optional<SdpOffer> answer = ReadSdpOffer(ack);
  if (!answer) return;
  int type = ChooseAnswerType(*answer, enabledPayloadTypes, media_.payloadType);
  if (type >= 0) media_.payloadType = static_cast<uint8_t>(type);
  if (answer->peer.address != 0 && answer->peer != RtpPeer()) {
    media_.rtpPeer.Replace(answer->peer);
    media_.firstPacketPending = true;
  }
  // The answer holds or resumes the call as an offer would.
  FollowDirection(AnswerDirection(*answer));
}

void CallLine::HandleReinvite(const SipMessage& request) {
  std::optional<std::string> body = AnswerOffer(request, true);
  if (!body) return;
  std::string contact =
      fmt::sprintf("\r\n%s", InviteContactLine(dialog_.Snapshot().localIp, PortSuffix(context_.AdvertisedSipPort())));
  std::string text = ComposeResponse(kStatus200, request, contact, *body);
  Ipv4Endpoint source{request.SourceAddress(), request.SourcePort()};
  int32_t number = CseqNumber(request);
  dialog_.Update([number](DialogState& dialog) { dialog.pendingAckCseq = number; });
  // Repeated until its ACK; without one the call is ended with BYE.
  StartLineThread(shared_from_this(), [text, source, number](CallLine& line) {
    bool acknowledged = RepeatUntilAcknowledged([&] { line.Context().SendSip(text, source); }, [&] {
      return line.Dialog().Read([](const DialogState& dialog) { return dialog.pendingAckCseq; }) != number ||
             line.Finished();
    });
    if (acknowledged) return;
    std::unique_lock<std::recursive_mutex> lock;
    if (line.Context().LockLines(lock)) line.HangUp();  // else a shutdown ends it
  });
}

}  // namespace talvenor
