// One call on one line: its state words, its SIP dialog (calls/dialog_state.h),
// the gate to its host connection (calls/host_gate.h) and what it shares
// with its RTP (calls/line_media_state.h). The line's files:
//   call_line.cpp        set-up, the end, the host's frames and texts
//   dialog_match.cpp     which received messages are the line's
//   in_dialog.cpp        answers to our requests, hang-up, the timer
//   in_dialog_requests.cpp  the far end's requests within the call
//   in_call_sending.cpp  our requests and responses, and their repeats
//   call_media.cpp       the line as its RTP's RtpCall
//
// Lifetime: the line's slot and every thread working for the line hold a
// shared reference; the host's ReleaseLine empties the slot at once and the
// object goes with its last owner. The destructor never joins anything.
//
// Flags that one thread writes and another polls are atomic words. Values
// that change during the call sit in LockedValue holders (the dialog, the shown
// texts, the media's address and handle), each behind a lock of its own that
// is held only to copy or change the value: never while the host is called.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "calls/call_context.h"
#include "calls/call_info.h"
#include "calls/call_state.h"
#include "calls/dialog_state.h"
#include "calls/dialog_texts.h"
#include "calls/locked_value.h"
#include "calls/host_gate.h"
#include "calls/line_media_state.h"
#include "host/ccon.h"
#include "media/rtp_call.h"
#include "sip/kind_table.h"
#include "sip/object_tag.h"
#include "sip/sdp.h"

namespace talvenor {

class SipMessage;

struct CallParameters {
  int lineIndex = 0;
  CCon* connection = nullptr;  // null for an incoming call, until the host gives one
  int callMode = 0;
  std::string target;  // user "@" host [":" port]: the request URI without "sip:"
  std::string userId;
  std::string displayName;
  std::string extraArgument;
  PayloadTypeFlags enabledPayloadTypes{};
};

class CallLine : public std::enable_shared_from_this<CallLine>, public RtpCall {
public:
  CallLine(CallContext& context, CallParameters parameters);
  virtual ~CallLine() = default;
  CallLine(const CallLine&) = delete;
  CallLine& operator=(const CallLine&) = delete;

  int LineIndex() const { return lineIndex_; }
  bool Incoming() const { return incoming_; }
  uint32_t Tag() const { return tag_.Value(); }
  // The random number of an outgoing call's Call-ID, drawn with the line.
  uint32_t CallIdNumber() const { return callIdNumber_; }
  CallContext& Context() const { return context_; }
  LockedValue<DialogState>& Dialog() { return dialog_; }
  const LockedValue<DialogState>& Dialog() const { return dialog_; }
  LineMediaState& MediaState() { return media_; }
  LockedValue<ShownInfo>& Info() { return info_; }

  // Whether a message whose Call-ID line equals this line's belongs to it.
  // A request belongs when its To tag is ours and its From tag the far
  // end's (once known); the caller's INVITE again and its CANCEL, which
  // carry no tag of ours, when they repeat the INVITE's far-end tag, topmost
  // Via branch and CSeq number. A response belongs when it answers a request
  // of ours still outstanding: our branch, its CSeq number and method. The
  // source address is not compared: a provider's proxies take turns.
  bool Owns(const SipMessage& message) const;
  // An incoming line's dialog as its INVITE set it up: the caller's tag and
  // the INVITE transaction's topmost Via branch and CSeq number.
  void SetInviteTransaction(std::string_view farTag, std::string_view branch, int32_t cseqNumber);
  // The far end's Contact as the target of our requests in the dialog, and
  // the route set from the Record-Route lines (reversed for an answer).
  void AdoptRemoteTarget(const SipMessage& message, bool reverseRoutes);

  // A request or response of this line's dialog; the dispatcher calls it
  // under ModuleLock on the receive thread.
  virtual void HandleInDialog(const SipMessage& message);
  // The 888 ms tick, under ModuleLock: hangs up a call that has delivered
  // no audio for too long.
  virtual void Tick();
  // Ends the call from this side: CANCEL, BYE or nothing, as the state
  // allows, then Finish. Under ModuleLock.
  void HangUp();
  // Ends the call once, whoever asks first: the host hears OnDisconnected
  // exactly once.
  void Finish();
  // A call that failed before it began (its mode, its target, its media):
  // finished, and the host told once.
  void FailEarly(int reason);
  // Calls the host for this line through its gate: never after the end, nor
  // beside it. An end that comes while the call is under way is delivered
  // as it returns. Never waits. `Host` when the calling thread is the host's
  // own (inside SendAudio).
  enum class HostThread { Module, Host };
  template <typename Call>
  void CallHost(Call&& call, HostThread where = HostThread::Module) {
    if (!host_.Enter()) return;
    struct Leave {
      CallLine& line;
      HostThread where;
      ~Leave() { line.LeaveHost(where); }
    } leave{*this, where};
    if (CCon* connection = host_.Connection()) call(*connection);
  }
  CCon* Connection() const { return host_.Connection(); }
  // The host's connection for an incoming call it took.
  void SetConnection(CCon* connection);
  // Stores the connection text and shows it to the host.
  void ShowCallInfo(std::string text);
  // Stores it only: for the text the host is about to be offered with the call.
  void StoreCallInfo(std::string text) { info_.Update([&](ShownInfo& info) { info.text = std::move(text); }); }
  // Sleeps for `pause`, or less when the call finishes meanwhile.
  void PauseUnlessFinished(std::chrono::milliseconds pause);
  // The host played one frame of OnAudioReceived; never below none.
  void ReleaseFrame();

  // The line as its RTP sees it (calls/call_media.cpp).
  bool MediaOpen() const override { return media_.open; }
  bool Hearing() const override;
  bool AwaitingFirstPacket() const override { return media_.firstPacketPending; }
  Ipv4Endpoint RtpPeer() const override { return media_.rtpPeer.Snapshot(); }
  Ipv4Endpoint SipPeer() const override {
    return dialog_.Read([](const DialogState& dialog) { return dialog.sipPeer; });
  }
  void TakeFirstPacket(int payloadType, const Ipv4Endpoint& source) override;
  void SetLocalMedia(uint16_t port, std::string localIp) override;
  bool PayloadTypeEnabled(int type) const override;
  int PayloadType() const override { return media_.payloadType; }
  void UsePayloadType(int type) override;
  void MediaFlows() override;
  bool Held() const override { return media_.held; }
  // The frame lock guards the frames handed to the host and the media's
  // receive assembly against ReleaseFrame; re-entrant for its holder.
  std::unique_lock<std::recursive_mutex> LockFrames() override { return std::unique_lock(media_.frameLock); }
  // Under the frame lock: whether the host holds 7 frames or more.
  bool HostHoldsTooManyFrames() const override { return media_.outstandingFrames >= kFrameLimit; }
  // Under the frame lock: one frame of 320 samples to the host; a frame
  // with audio the far end sent counts as a sign of life.
  void DeliverFrame(const int16_t* samples, bool heard) override;
  // Shown after the connection text; not kept in it.
  void ReportReception(unsigned delayMilliseconds, unsigned lossPercent) override;
  void AudioTaken() override;
  void MediaEnded() override { SendClosingRequestAndDisconnect(); }

  // Our requests and responses (calls/in_call_sending.cpp). INVITE, CANCEL
  // or BYE with the extra text, User-Agent when extra text is given, and the
  // body: INVITE and CANCEL to the INVITE's target and SIP peer, BYE to the
  // far end's Contact with the route set, through the first route.
  long SendInCallRequest(SipKind method, std::string_view extraText, std::string_view body);
  // The ACK of a 2xx, a request of the dialog like BYE; the ACK of a
  // failure, on the INVITE's transaction with the response's To line.
  void AcknowledgeSuccess();
  void AcknowledgeFailure(const SipMessage& response);
  // A response to the caller's INVITE with the extra text and the body,
  // sent to the SIP peer.
  long SendInCallResponse(SipKind status, std::string_view extraText, std::string_view body);
  // A final response to the caller's INVITE, repeated while no ACK came.
  void RepeatFinalResponse(SipKind status, std::string_view extraText, std::string_view body);
  // After the media ended: repeats the pending CANCEL or BYE while no
  // answer came, then tells the host. Runs on the line's media thread.
  void SendClosingRequestAndDisconnect();
  // A response to any other request of the dialog, built from its own
  // lines and sent back where it came from.
  void AnswerRequest(const SipMessage& request, SipKind status, std::string_view extraLines = {},
                     std::string_view body = {});

  std::string BuildSdp() const;
  // Takes the payload type and media address from the peer's SDP; false,
  // with nothing stored, when it offers nothing usable.
  bool ParseSdp(const SipMessage& message);
  // The media once opened: its receive thread runs until Finish wakes it.
  void AttachMedia(std::shared_ptr<MediaHandle> media);
  // Its receive thread could not start: the media counts as closed.
  void MediaNotStarted() { media_.open = false; }
  // True once when the call finished while its media opened: the caller
  // closes it, since Finish found none to close.
  bool TakeMediaLeftOpen() { return finished_ && media_.open.exchange(false); }

  // The state words the call flows, the media and the host's slots look at.
  bool Finished() const { return finished_; }
  CallState State() const { return state_; }
  void SetState(CallState value) { state_ = value; }
  // kEndNormal once answered; otherwise the reason the call will end with.
  int EndReason() const { return endReason_; }
  void SetEndReason(int reason) { endReason_ = reason; }
  // -1 while an incoming INVITE is being taken, 0 after; the host's mode for an outgoing call.
  int CallMode() const { return callMode_; }
  void SetCallMode(int mode) { callMode_ = mode; }
  // Our INVITE, CANCEL or BYE has had no final answer yet.
  bool AwaitingResponse() const { return awaitingResponse_; }
  void SetAwaitingResponse(bool awaiting) { awaitingResponse_ = awaiting; }
  // An incoming call's final response: true for the one caller that may send it.
  bool ClaimAnswer() { return !answered_.exchange(true); }
  // CANCEL or BYE, sent when the media ends; its answers belong to the line.
  SipKind PendingRequest() const { return pendingRequest_; }
  void SetPendingRequest(SipKind request) { pendingRequest_ = request; }

  // The host's texts for an outgoing call, as it placed it; empty for an incoming one.
  const std::string userId;
  const std::string displayName;
  const std::string extraArgument;
  const PayloadTypeFlags enabledPayloadTypes;

private:
  static constexpr int kFrameLimit = 7;

  long SendRequest(SipKind method, RequestScope scope, std::string_view toLine, std::string_view extraText,
                   std::string_view body);
  // A request of the far end within the dialog; every one gets a final answer.
  void HandleRequest(const SipMessage& request, SipKind kind);
  // A re-INVITE or UPDATE: its offer answered (or ours made, for a
  // re-INVITE without one); empty, with the refusal sent, when it cannot be.
  std::optional<std::string> AnswerOffer(const SipMessage& request, bool mayOffer);
  void HandleReinvite(const SipMessage& request);
  // Holds the call while our side of the media may not send (recvonly,
  // inactive), resumes it otherwise; the host hears of each change.
  void FollowDirection(MediaDirection ours);
  // An ACK that carries the answer to the offer of our 200.
  void TakeAnswer(const SipMessage& ack);
  // The ACK of our final answer to the caller's INVITE: it carries the answer
  // when the INVITE had no offer, and it connects an answered call.
  void TakeFirstAck(const SipMessage& ack);
  void OnInviteAnswered(const SipMessage& response);
  void OnChallenge(const SipMessage& response, SipKind status);
  // Ends the call, acknowledging the failure response when one is given.
  void EndWith(int reason, const SipMessage* failure);
  // Tells the host the end through the gate: now, or as its last call returns.
  void Disconnect();
  void LeaveHost(HostThread where);
  // An ACK and a BYE for a 200 to our INVITE that came after the call ended here.
  void ByeAfterLateAnswer(const SipMessage& response);
  // Takes the To line of a response to our INVITE, with the far end's tag.
  void AdoptFarEnd(const SipMessage& response);
  bool OwnsRequest(const SipMessage& request) const;
  bool OwnsResponse(const SipMessage& response) const;

  CallContext& context_;
  const int lineIndex_;
  const bool incoming_;
  ObjectTag tag_;
  const uint32_t callIdNumber_;

  std::atomic<bool> finished_{false};
  std::atomic<bool> awaitingResponse_{true};
  std::atomic<CallState> state_{CallState::Setup};
  std::atomic<SipKind> pendingRequest_{kNoKind};
  std::atomic<int> endReason_{kEndFailed};
  std::atomic<int> callMode_;
  std::atomic<bool> answered_{false};  // an incoming call's final response is under way
  unsigned ringingTicks_ = 0;  // the timer's alone, under ModuleLock
  std::mutex finishMutex_;  // with finishSignal_, wakes a pause when the call finishes
  std::condition_variable finishSignal_;

  HostGate host_;
  LockedValue<DialogState> dialog_;
  LockedValue<ShownInfo> info_;
  LineMediaState media_;
};

}  // namespace talvenor
