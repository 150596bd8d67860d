// One call on one line: the stored header lines of its SIP dialog, its state
// flags and the pieces the call flows and the media share.
//
// Lifetime: the line's slot and every thread working for the line hold a
// shared reference; the host's ReleaseLine empties the slot at once and the
// object goes with its last owner. The destructor never joins anything.
//
// Flags that one thread writes and another polls are atomic words. Texts
// that change during the call sit behind a small per-line mutex, which is
// never held while the host is called.
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
#include <vector>

#include "calls/call_context.h"
#include "calls/call_state.h"
#include "host/ccon.h"
#include "media/rtp_call.h"
#include "platform/endpoint.h"
#include "sip/kind_table.h"
#include "sip/object_tag.h"
#include "sip/sdp.h"

namespace talvenor {

class CallLine;
class SipMessage;

// What a call through a gateway needs of its account, copied when the call
// starts: the accounts go at shutdown while lines may live on.
struct GatewayCredentials {
  std::string userId;
  std::string password;
};

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

// The header lines a dialog repeats, each whole with its header name.
struct DialogLines {
  std::string viaLine;  // incoming: every Via line of the caller's INVITE, joined by CR LF
  std::string recordRouteLines;  // incoming: the INVITE's Record-Route lines, likewise
  std::string toLine;
  std::string fromLine;
  std::string callIdLine;
  std::string cseqLine;  // of the received INVITE, repeated in every response
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
  // Calls the host for this line, unless it heard OnDisconnected or is about
  // to. An end that comes while another call to the host is under way is
  // delivered by that call's thread as it returns: nothing reaches the host
  // for the line after OnDisconnected, or beside it. Never waits.
  // `Host` when the calling thread is the host's own (inside SendAudio).
  enum class HostThread { Module, Host };
  template <typename Call>
  void CallHost(Call&& call, HostThread where = HostThread::Module) {
    if (!EnterHost()) return;
    struct Leave {
      CallLine& line;
      HostThread where;
      ~Leave() { line.LeaveHost(where); }
    } leave{*this, where};
    if (CCon* connection = connection_) call(*connection);
  }
  // Sleeps for `pause`, or less when the call finishes meanwhile.
  void PauseUnlessFinished(std::chrono::milliseconds pause);
  // The host played one frame of OnAudioReceived; never below none.
  void ReleaseFrame();
  // The frame lock: guards the frames handed to the host and the media's
  // receive assembly against ReleaseFrame. Re-entrant for its holder.
  std::unique_lock<std::recursive_mutex> LockFrames() override { return std::unique_lock(lineLock_); }
  // Under the frame lock: whether the host holds 7 frames or more.
  bool HostHoldsTooManyFrames() const override { return outstandingFrames_ >= kFrameLimit; }
  // Under the frame lock: hands one frame of 320 samples to the host; a
  // frame with audio the far end sent counts as a sign of life.
  void DeliverFrame(const int16_t* samples, bool heard) override;
  // Shown after the connection text; not kept in it (calls/call_media.cpp).
  void ReportReception(unsigned delayMilliseconds, unsigned lossPercent) override;
  // After the media ended: repeats the pending CANCEL or BYE while no
  // answer came, then tells the host. Runs on the line's media thread.
  void SendClosingRequestAndDisconnect();

  // What the line's RTP asks and tells (calls/call_media.cpp).
  bool MediaOpen() const override { return mediaOpen_; }
  bool Hearing() const override;
  bool AwaitingFirstPacket() const override { return firstPacketPending_; }
  void TakeFirstPacket(int payloadType, const Ipv4Endpoint& source) override;
  void SetLocalMedia(uint16_t port, std::string localIp) override;
  bool PayloadTypeEnabled(int type) const override;
  int PayloadType() const override { return payloadType_; }
  void UsePayloadType(int type) override;
  void MediaFlows() override;
  bool Held() const override { return held_; }
  void AudioTaken() override;
  void MediaEnded() override { SendClosingRequestAndDisconnect(); }
  // A call that failed before it began (its mode, its target, its media):
  // finished, and the host told once.
  void FailEarly(int reason);
  // A final response to the caller's INVITE, repeated while no ACK came.
  void RepeatFinalResponse(SipKind status, std::string_view extraText, std::string_view body);

  // INVITE, CANCEL or BYE: the request line, our Via, the dialog's lines,
  // the CSeq line with the pending credentials, the extra text and
  // User-Agent when extra text is given, and the body. INVITE and CANCEL go
  // to the INVITE's target and SIP peer; BYE to the far end's Contact with
  // the route set, through the first route.
  long SendInCallRequest(SipKind method, std::string_view extraText, std::string_view body);
  // The ACK of a 2xx, a request of the dialog like BYE; the ACK of a
  // failure, on the INVITE's transaction with the response's To line.
  void AcknowledgeSuccess();
  void AcknowledgeFailure(const SipMessage& response);
  // A response to the caller's INVITE: the status line and the INVITE's
  // lines (every Via; Record-Route from the first ringing on), the extra
  // text and the body; sent to the SIP peer.
  long SendInCallResponse(SipKind status, std::string_view extraText, std::string_view body);
  // A response to any other request of the dialog, built from its own
  // lines and sent back where it came from.
  void AnswerRequest(const SipMessage& request, SipKind status, std::string_view extraLines = {},
                     std::string_view body = {});

  std::string BuildSdp() const;
  // Takes the payload type and media address from the peer's SDP; false,
  // with nothing stored, when it offers nothing usable.
  bool ParseSdp(const SipMessage& message);

  // The media once opened; null before. Attached, it is open: its receive
  // thread runs until Finish wakes it.
  void AttachMedia(std::shared_ptr<MediaHandle> media);
  // Its receive thread could not start: the media counts as closed.
  void MediaNotStarted() { mediaOpen_ = false; }
  // True once when the call finished while its media opened: the caller
  // closes it, since Finish found none to close.
  bool TakeMediaLeftOpen() { return finished_ && mediaOpen_.exchange(false); }
  std::shared_ptr<MediaHandle> Media() const;
  CallContext& Context() const { return context_; }
  std::string PeerHostName() const;
  void SetPeerHostName(std::string name);
  void SetRtpPeer(const Ipv4Endpoint& peer);

  // The dialog's stored lines, written by the call setup.
  DialogLines Dialog() const;
  void SetDialog(DialogLines lines);
  std::string CallIdLine() const;
  void SetGateway(std::optional<GatewayCredentials> gateway);
  std::string Target() const;
  void SetTarget(std::string target);
  Ipv4Endpoint SipPeer() const override;
  void SetSipPeer(const Ipv4Endpoint& peer);
  Ipv4Endpoint RtpPeer() const override;
  std::string LocalIp() const;
  void SetLocalIp(std::string localIp);
  std::string AuthorizationText() const;
  std::string ProxyAuthorizationText() const;
  // Sets the connection information text and shows it to the host.
  void ShowCallInfo(std::string text);
  std::string InfoText() const;
  CCon* Connection() const { return connection_; }
  void SetConnection(CCon* connection);
  int OutstandingFrames() const;

  // The flags the call flows, the media and the host's slots look at.
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
  uint16_t LocalRtpPort() const { return localRtpPort_; }

  // Outgoing: the host's user id and display name; incoming: the caller text
  // and the caller's display name.
  std::string UserId() const;
  void SetUserId(std::string userId);
  std::string DisplayName() const;
  void SetDisplayName(std::string displayName);

  const std::string extraArgument;
  const PayloadTypeFlags enabledPayloadTypes;

private:
  enum class RequestScope { InviteTransaction, Dialog };
  long SendRequest(SipKind method, RequestScope scope, std::string_view toLine, std::string_view extraText,
                   std::string_view body);
  // Under textMutex_: where requests of the dialog go.
  Ipv4Endpoint DialogDestination() const;
  // A request of the far end within the dialog; every one gets a final answer.
  void HandleRequest(const SipMessage& request, SipKind kind);
  // A re-INVITE or UPDATE: its offer answered (or ours made, for a
  // re-INVITE without one); empty, with the refusal sent, when it cannot be.
  std::optional<std::string> AnswerOffer(const SipMessage& request, bool mayOffer);
  void HandleReinvite(const SipMessage& request);
  // An ACK that carries the answer to the offer of our 200.
  void TakeAnswer(const SipMessage& ack);
  void OnInviteAnswered(const SipMessage& response);
  void OnChallenge(const SipMessage& response, SipKind status);
  // Ends the call, acknowledging the failure response when one is given.
  void EndWith(int reason, const SipMessage* failure);
  void Disconnect();
  bool EnterHost();
  void LeaveHost(HostThread where);
  // OnDisconnected to the connection, if there is one yet.
  void TellEnd();
  // An ACK and a BYE for a 200 to our INVITE that came after the call ended here.
  void ByeAfterLateAnswer(const SipMessage& response);
  // Takes the To line of a response to our INVITE, with the far end's tag.
  void AdoptFarEnd(const SipMessage& response);
  bool OwnsRequest(const SipMessage& request) const;
  bool OwnsResponse(const SipMessage& response) const;
  long SendToPeer(const std::string& text);

  // Single words shared with the call's threads.
  std::atomic<bool> finished_{false};
  std::atomic<bool> awaitingResponse_{true};
  std::atomic<bool> mediaOpen_{false};
  std::atomic<bool> firstPacketPending_{true};
  std::atomic<unsigned> idleTicks_{0};
  std::atomic<CallState> state_{CallState::Setup};
  std::atomic<SipKind> pendingRequest_{kNoKind};  // CANCEL or BYE, sent when the media ends
  std::atomic<int> endReason_{kEndFailed};
  std::atomic<int> callMode_;
  std::atomic<uint8_t> payloadType_{0};
  std::atomic<uint16_t> cseq_{1};
  std::atomic<uint16_t> localRtpPort_{0};
  std::atomic<bool> answered_{false};  // an incoming call's final response is under way
  std::atomic<bool> held_{false};  // the far end holds the call: no audio goes out

  CallContext& context_;
  const int lineIndex_;
  const bool incoming_;
  ObjectTag tag_;
  const uint32_t callIdNumber_;
  std::atomic<CCon*> connection_;
  std::atomic<bool> told_{false};  // the host heard OnDisconnected
  std::mutex finishMutex_;  // with finishSignal_, wakes a pause when the call finishes
  std::condition_variable finishSignal_;
  std::mutex hostMutex_;  // guards the two below; never held while the host is called
  int hostCalls_ = 0;       // calls to the host under way for the line
  bool endPending_ = false;  // OnDisconnected waits for them
  bool endHeard_ = false;    // OnDisconnected reached a connection
  std::atomic<int32_t> inviteCseq_{0};  // the caller's INVITE, or the last INVITE we sent (0: none)
  unsigned ringingTicks_ = 0;  // the timer's alone, under ModuleLock
  std::atomic<int32_t> remoteCseq_{0};    // the far end's last request number
  std::atomic<int32_t> pendingAckCseq_{0};  // a re-INVITE whose 200 waits for its ACK (0: none)
  std::atomic<bool> offerPending_{false};   // that 200 made our offer: the ACK answers it
  unsigned sdpVersion_ = 1;  // the o= version of our latest answer; the receive thread's alone

  mutable std::mutex textMutex_;  // guards what follows; never held while the host is called
  DialogLines dialog_;
  std::string farTag_;
  bool farTagKnown_ = false;  // an outgoing call learns it from the first answer with a tag
  std::string inviteBranch_;  // incoming: the topmost Via branch of the caller's INVITE
  std::string inviteToLine_;  // outgoing: the To line of our INVITE, which its CANCEL repeats
  std::string remoteTarget_;  // the far end's Contact without "sip:"; empty: the INVITE's target
  std::vector<std::string> routeSet_;  // "<sip:proxy;lr>" entries, the first one nearest
  bool namesExchanged_ = false;  // an incoming line's BYE swaps From and To once
  std::optional<GatewayCredentials> gateway_;
  std::string target_;
  std::string localIp_;
  std::string userId_;
  std::string displayName_;
  std::string infoText_;
  std::string peerHostName_;
  std::shared_ptr<MediaHandle> media_;
  std::string authorizationText_;
  std::string proxyAuthorizationText_;
  Ipv4Endpoint sipPeer_;
  Ipv4Endpoint rtpPeer_;

  // Guards the frames handed to the host against ReleaseFrame; re-entrant,
  // since the host may release a frame from inside OnAudioReceived.
  static constexpr int kFrameLimit = 7;
  mutable std::recursive_mutex lineLock_;
  int outstandingFrames_ = 0;
};

}  // namespace talvenor
