// What a line does with the messages of its dialog, and how a call ends.
#include "calls/call_line.h"
#include "calls/call_timing.h"
#include "calls/line_threads.h"
#include "registration/digest.h"
#include "sip/header_names.h"
#include "sip/recipes.h"
#include "sip/sip_message.h"

namespace talvenor {

namespace {

// Our next request of the dialog (a BYE, or an INVITE again) counts up.
void NextCseq(LockedValue<DialogState>& dialog) {
  dialog.Update([](DialogState& changed) { ++changed.cseq; });
}

bool IsRinging(SipKind kind) { return kind >= kStatus180 && kind <= kStatus183; }

// 3xx to 6xx: a final refusal of the INVITE.
bool IsFinalFailure(SipKind kind) { return IsStatusKind(kind) && KindText(kind) >= "300"; }

}  // namespace

void CallLine::HandleInDialog(const SipMessage& message) {
  SipKind kind = message.Kind();
  if (IsMethodKind(kind)) return HandleRequest(message, kind);
  std::string_view method = CseqMethod(message);
  if (!method.empty() && method != KindText(kInvite)) {
    // The answer to our CANCEL or BYE, provisional too, stops its repeats;
    // the call ends either way. Only an INVITE's final answer is
    // acknowledged: an ACK for any other would draw another refusal from a
    // peer that refuses the ACK, and so on.
    awaitingResponse_ = false;
    return;
  }
  // An INVITE's answer, or one whose CSeq method cannot be read.
  switch (kind) {
    case kStatus100:
      awaitingResponse_ = false;
      return;
    case kStatus200:
      // A 200 after we gave up a call that never connected is answered
      // with ACK and BYE; a repeated one on a connected call only with ACK.
      if (finished_ && state_ != CallState::Connected) {
        ByeAfterLateAnswer(message);
      } else {
        OnInviteAnswered(message);
      }
      return;
    case kStatus401:
    case kStatus407:
      OnChallenge(message, kind);
      return;
    case kStatus480:
      return EndWith(kEndUnavailable, &message);
    case kStatus486:
      return EndWith(kEndBusy, &message);
    case kStatus487:
      return EndWith(endReason_, &message);
    case kStatus481:
      return EndWith(kEndFailed, nullptr);  // no dialog there to acknowledge
    default:
      break;
  }
  if (IsRinging(kind)) {
    AdoptFarEnd(message);
    awaitingResponse_ = false;
  } else if (IsFinalFailure(kind)) {
    EndWith(kEndFailed, &message);
  }
  // Other 1xx and 2xx, and codes outside the table: ignored.
}

void CallLine::EndWith(int reason, const SipMessage* failure) {
  endReason_ = reason;
  if (failure != nullptr) AcknowledgeFailure(*failure);
  Finish();
}

void CallLine::OnInviteAnswered(const SipMessage& response) {
  awaitingResponse_ = false;
  if (state_ == CallState::Connected) {
    AcknowledgeSuccess();  // a repeated 200: our ACK was lost
    return;
  }
  // The 200's To line carries the far end's tag, which the ACK and BYE
  // must repeat even when no provisional response brought it; its Contact
  // and Record-Route lines say where they go.
  AdoptFarEnd(response);
  AdoptRemoteTarget(response, true);
  state_ = CallState::Connected;
  AcknowledgeSuccess();
  if (!ParseSdp(response)) {
    HangUp();  // connected, so this is a BYE
    return;
  }
  endReason_ = kEndNormal;
  CallHost([](CCon& connection) { connection.OnConnected(0, 0); });
}

void CallLine::ByeAfterLateAnswer(const SipMessage& response) {
  // The far end took the call after we gave it up: without an ACK and a BYE
  // it would stay connected, talking to nobody.
  AdoptFarEnd(response);
  AdoptRemoteTarget(response, true);
  AcknowledgeSuccess();
  NextCseq(dialog_);
  pendingRequest_ = kBye;
  awaitingResponse_ = true;  // a closing sender still running repeats it
  SendInCallRequest(kBye, {}, {});
}

void CallLine::OnChallenge(const SipMessage& response, SipKind status) {
  awaitingResponse_ = false;
  AcknowledgeFailure(response);
  DialogState dialog = dialog_.Snapshot();
  const std::optional<GatewayCredentials>& gateway = dialog.gateway;
  if (!gateway) {
    Finish();  // a direct call has no credentials to offer
    return;
  }
  bool proxy = status == kStatus407;
  // The digest's uri is the INVITE's request URI: a server that binds the
  // answer to its request refuses any other.
  std::string line = CredentialsLine(response, proxy ? kProxyAuthorizationHeader : kAuthorizationHeader,
                                     gateway->userId, gateway->password, dialog.target);
  dialog_.Update([&](DialogState& changed) {
    (proxy ? changed.proxyAuthorizationText : changed.authorizationText) = std::move(line);
    ++changed.cseq;
  });
  awaitingResponse_ = true;  // the outgoing-call thread sends the INVITE again, with credentials
}

void CallLine::HangUp() {
  if (finished_) return;
  if (state_ != CallState::Setup) {
    if (!incoming_) NextCseq(dialog_);
    pendingRequest_ = kBye;
    awaitingResponse_ = true;
  } else if (incoming_) {
    // Still ringing: the caller would ring on until its own timeout. It
    // gets 480, repeated until its ACK, as a rejection does.
    if (!answered_.exchange(true)) {
      awaitingResponse_ = true;
      StartLineThread(shared_from_this(), [](CallLine& line) {
        line.RepeatFinalResponse(kStatus480, {}, {});
      });
    }
  } else if (!awaitingResponse_) {
    // A provisional answer stopped the INVITE repetitions: CANCEL. While
    // the INVITE is still being repeated, nothing is sent.
    pendingRequest_ = kCancel;
    awaitingResponse_ = true;
  }
  Finish();
}

void CallLine::Finish() {
  if (finished_.exchange(true)) return;
  {
    std::scoped_lock lock(finishMutex_);  // a pause that just looked at the flag is waiting already
  }
  finishSignal_.notify_all();
  // With media open, its receive thread ends when woken: it closes the
  // socket, sends the pending CANCEL or BYE and then tells the host.
  if (media_.open.exchange(false)) {
    if (std::shared_ptr<MediaHandle> media = media_.handle.Snapshot()) media->Wake();
    return;
  }
  Disconnect();
}

void CallLine::Tick() {
  if (media_.held) media_.idleTicks = 0;  // a held call sends nothing, and that is no fault
  if (state_ == CallState::Setup) {
    // Nobody answers or refuses: the caller gets 480 rather than a line
    // held for good, and the host hears the end as for a CANCEL.
    if (incoming_ && !answered_ && ringingTicks_++ > CurrentCallTiming().ringTickLimit) HangUp();
    return;
  }
  unsigned idle = media_.idleTicks++;
  if (idle > CurrentCallTiming().idleTickLimit) HangUp();
}

}  // namespace talvenor
