// The line's own requests and its responses to the caller's INVITE, composed
// from a copy of the dialog (calls/dialog_texts.h) and sent outside its
// lock, and their repeats while no answer or ACK came.
#include <thread>

#include "calls/call_line.h"
#include "calls/call_timing.h"
#include "sip/header_names.h"
#include "sip/sip_message.h"

namespace talvenor {

long CallLine::SendInCallRequest(SipKind method, std::string_view extraText, std::string_view body) {
  return SendRequest(method, method == kBye ? RequestScope::Dialog : RequestScope::InviteTransaction, {}, extraText,
                     body);
}

void CallLine::AcknowledgeSuccess() { SendRequest(kAck, RequestScope::Dialog, {}, {}, {}); }

void CallLine::AcknowledgeFailure(const SipMessage& response) {
  // The response's own To, with whatever tag it brought.
  SendRequest(kAck, RequestScope::InviteTransaction, response.FindLine(kToHeader), {}, {});
}

long CallLine::SendRequest(SipKind method, RequestScope scope, std::string_view toLine, std::string_view extraText,
                           std::string_view body) {
  RequestSender sender{Tag(), incoming_, context_.AdvertisedSipPort()};
  ComposedRequest request = dialog_.Update(
      [&](DialogState& dialog) { return ComposeInCallRequest(dialog, sender, method, scope, toLine); });
  request.text += ClosingLines(extraText, true, body);
  return context_.SendSip(request.text, request.destination);
}

long CallLine::SendInCallResponse(SipKind status, std::string_view extraText, std::string_view body) {
  // Only the caller's INVITE is answered from the stored lines.
  DialogState dialog = dialog_.Snapshot();
  std::string text = ComposeInviteResponse(dialog, status) + ClosingLines(extraText, false, body);
  return context_.SendSip(text, dialog.sipPeer);  // responses carry no User-Agent
}

void CallLine::SendClosingRequestAndDisconnect() {
  CallTiming timing = CurrentCallTiming();
  for (int pass = 0; pass < timing.repetitions && awaitingResponse_ && pendingRequest_ != kNoKind; ++pass) {
    SendInCallRequest(pendingRequest_, {}, {});
    std::this_thread::sleep_for(timing.repeatPause);
  }
  Disconnect();
  context_.SetG729Busy(false);
}

void CallLine::RepeatFinalResponse(SipKind status, std::string_view extraText, std::string_view body) {
  if (status == kStatus200) {
    // Until the ACK, or until the call has ended (a CANCEL got its 487): two
    // final answers to one INVITE would contradict each other.
    RepeatUntilAcknowledged([&] { SendInCallResponse(status, extraText, body); },
                            [this] { return !awaitingResponse_ || finished_; });
    return;
  }
  CallTiming timing = CurrentCallTiming();
  // A 480 is sent after the call ended here, and goes on until the ACK.
  for (int pass = 0; pass < timing.repetitions && awaitingResponse_; ++pass) {
    SendInCallResponse(status, extraText, body);
    std::this_thread::sleep_for(timing.repeatPause);
  }
}

}  // namespace talvenor
