// The far end's requests within a call: each gets a final answer. A new
// offer (re-INVITE or UPDATE) may hold or resume the call, move its media or
// change its codec; OPTIONS and INFO are answered 200, other methods 405.
#include <fmt/printf.h>

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

bool HasSdpOffer(const SipMessage& request) { return !SdpMediaLine(request).empty(); }

}  // namespace

void CallLine::AnswerRequest(const SipMessage& request, SipKind status, std::string_view extraLines,
                             std::string_view body) {
  context_.SendSip(ComposeResponse(status, request, extraLines, body),
                   {request.SourceAddress(), request.SourcePort()});
}

void CallLine::HandleRequest(const SipMessage& request, SipKind kind) {
  int32_t number = CseqNumber(request);
  // The caller's INVITE again, or its CANCEL and ACK: the first transaction.
  bool firstTransaction = incoming_ && number == inviteCseq_;
  if (!firstTransaction && kind != kAck && kind != kCancel && kind != kBye) {
    // A request older than the last one is out of order (RFC 3261 12.2.2).
    if (number < remoteCseq_) return AnswerRequest(request, kStatus500);
    if (kind == kInvite && number == pendingAckCseq_) return;  // repeated: its 200 is being repeated too
    remoteCseq_ = number;
  }
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
      if (firstTransaction) awaitingResponse_ = false;
      if (number != 0 && pendingAckCseq_.compare_exchange_strong(number, 0) && offerPending_.exchange(false)) {
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
  if (!HasSdpOffer(request)) {
    if (!mayOffer) return std::string();  // nothing to answer
    offerPending_ = true;  // our offer in the 200; the ACK answers it
    return BuildSdp();
  }
  std::optional<SdpOffer> offer = ReadSdpOffer(request);
  int type = offer ? ChooseAnswerType(*offer, enabledPayloadTypes, payloadType_) : -1;
  if (type < 0) {
    AnswerRequest(request, kStatus488);  // nothing in common: the call stays as it was
    return std::nullopt;
  }
  MediaDirection direction = AnswerDirection(*offer);
  payloadType_ = static_cast<uint8_t>(type);
  if (offer->peer.address != 0 && offer->peer != RtpPeer()) {
    SetRtpPeer(offer->peer);
    firstPacketPending_ = true;  // the media moved: the far end's next packet sets its source again
  }
  bool hold = direction == MediaDirection::RecvOnly || direction == MediaDirection::Inactive;
  if (held_.exchange(hold) != hold) {
    CallHost([hold](CCon& connection) { connection.OnCallInfo(hold ? "held by the far end" : "resumed"); });
  }
  return BuildSdpAnswer(LocalIp(), localRtpPort_, type, ++sdpVersion_, direction);
}

void CallLine::TakeAnswer(const SipMessage& ack) {
  if (std::optional<SdpOffer> answer = ReadSdpOffer(ack)) {
    int type = ChooseAnswerType(*answer, enabledPayloadTypes, payloadType_);
    if (type >= 0) payloadType_ = static_cast<uint8_t>(type);
    if (answer->peer.address != 0) SetRtpPeer(answer->peer);
  }
}

void CallLine::HandleReinvite(const SipMessage& request) {
  std::optional<std::string> body = AnswerOffer(request, true);
  if (!body) return;
  std::string contact = fmt::sprintf("\r\n%s", InviteContactLine(LocalIp(), PortSuffix(context_.AdvertisedSipPort())));
  std::string text = ComposeResponse(kStatus200, request, contact, *body);
  Ipv4Endpoint source{request.SourceAddress(), request.SourcePort()};
  int32_t number = CseqNumber(request);
  pendingAckCseq_ = number;
  // Repeated until its ACK; without one the call is ended with BYE.
  StartLineThread(shared_from_this(), [text, source, number](CallLine& line) {
    bool acknowledged = RepeatUntilAcknowledged(
        [&] { line.Context().SendSip(text, source); }, [&] { return line.pendingAckCseq_ != number || line.finished_; });
    if (acknowledged) return;
    std::unique_lock<std::recursive_mutex> lock;
    if (line.Context().LockLines(lock)) line.HangUp();  // else a shutdown ends it
  });
}

}  // namespace talvenor
