#include "calls/incoming_call.h"

#include <fmt/printf.h>

#include <array>
#include <thread>
#include <vector>

#include "calls/call_media.h"
#include "calls/call_info.h"
#include "calls/call_line.h"
#include "calls/call_timing.h"
#include "calls/line_threads.h"
#include "media/line_media.h"
#include "calls/peer_lookup.h"
#include "registration/registration_book.h"
#include "sip/compose.h"
#include "sip/header_names.h"
#include "sip/recipes.h"
#include "sip/sdp.h"
#include "sip/sip_message.h"
#include "sip/tokens.h"

namespace talvenor {

namespace {

constexpr size_t kTextLimit = 40;  // caller text and display name, as the host shows them
constexpr int kSilenceFrames = 6;
constexpr std::chrono::milliseconds kSilencePause{40};
constexpr std::string_view kSdpVersionLine = "v=";  // the first line of any SDP body

// "1234#5678" for caller 1234 calling 5678, with the registered binding of
// 5678 when it registered here; the caller alone when the request URI has no user.
std::string CallerText(const SipMessage& invite, uint32_t lifetimeCap, RegistrationBook& registrations) {
  std::string caller(CallerUser(invite));
  std::string called(CalledUserAndHost(invite));
  size_t at = called.find('@');
  if (at == std::string::npos || at == 0) return caller;
  std::string user = called.substr(0, at);
  std::string key = user;
  if (registrations.FindByUser(key, '#', lifetimeCap) != 0) return caller + key.substr(key.find('#'));
  key = user;
  registrations.FindByUser(key, '@', lifetimeCap);  // a registered user becomes its binding
  return fmt::sprintf("%s#%s", caller, key);
}

// The final answer, repeated until the ACK; after an accepted call's ACK, a
// short burst of silence opens the media path through NATs and firewalls.
void RunAnswer(CallLine& line) {
  bool accepted = line.EndReason() == kEndNormal;
  std::string contact;
  std::string body;
  if (accepted) {
    contact = InviteContactLine(line.Dialog().Snapshot().localIp, PortSuffix(line.Context().AdvertisedSipPort()));
    body = line.BuildSdp();
  }
  line.RepeatFinalResponse(accepted ? kStatus200 : kStatus480, contact, body);
  if (accepted && line.AwaitingResponse() && !line.Finished()) {
    // No ACK came: the caller may believe the call is up. BYE ends it
    // there, and the host hears the end.
    std::unique_lock<std::recursive_mutex> lock;
    if (line.Context().LockLines(lock)) line.HangUp();  // else a shutdown ends it
    return;
  }
  if (!accepted || line.AwaitingResponse()) {
    line.Finish();
    // A call no host took: nobody else will free its line.
    if (line.Connection() == nullptr) line.Context().ReleaseOwnLine(line);
    return;
  }
  std::array<int16_t, 320> silence{};
  std::shared_ptr<MediaHandle> media = line.MediaState().handle.Snapshot();
  for (int frame = 0; media && frame < kSilenceFrames && line.AwaitingFirstPacket() && !line.Finished(); ++frame) {
    media->SendAudio(line, silence.data(), silence.size(), true);
    std::this_thread::sleep_for(kSilencePause);
  }
}

}  // namespace

bool AcceptInvite(const std::shared_ptr<CallLine>& line, const SipMessage& invite, CCom* module) {
  line->SetCallMode(0);
  DialogLines dialog;
  dialog.toLine = std::string(invite.FindLine(kToHeader));
  dialog.fromLine = std::string(invite.FindLine(kFromHeader));
  dialog.callIdLine = std::string(invite.FindLine(kCallIdHeader));
  dialog.cseqLine = std::string(invite.FindLine(kCseqHeader));
  // Every Via and Record-Route line: the answers go back through each proxy.
  dialog.viaLine = JoinedHeaderLines(invite, kViaHeader, kViaCompactHeader);
  dialog.recordRouteLines = JoinedHeaderLines(invite, kRecordRouteHeader);
  std::string target(RemoteTarget(invite));
  if (dialog.toLine.empty() || dialog.fromLine.empty() || dialog.callIdLine.empty() || dialog.cseqLine.empty() ||
      target.empty()) {
    return false;
  }
  CallContext& context = line->Context();
  std::string caller(Utf8Prefix(CallerText(invite, context.LongestRegistration(), context.Registrations()), kTextLimit));
  std::string displayName(Utf8Prefix(CallerDisplayName(invite), kTextLimit));
  std::vector<std::string> streams = OfferedMediaLines(invite);
  // An INVITE without SDP (a delayed offer, RFC 3261 13.2.1): our 200 makes
  // the offer and the ACK answers it.
  bool delayedOffer = streams.empty() && invite.FindLine(kSdpVersionLine).empty();
  if (!delayedOffer && !line->ParseSdp(invite)) return false;
  Ipv4Endpoint source{invite.SourceAddress(), invite.SourcePort()};
  // Until the ACK's answer says where the media goes, the caller's address
  // picks the interface our offer names.
  if (delayedOffer) line->MediaState().rtpPeer.Replace(source);
  line->Dialog().Update([&](DialogState& state) {
    state.target = target;
    state.sipPeer = source;
    state.lines = dialog;
    state.offeredStreams = std::move(streams);
    state.offerPending = delayedOffer;
  });
  line->SetInviteTransaction(FromTag(invite), TopViaBranch(invite), CseqNumber(invite));
  line->AdoptRemoteTarget(invite, false);
  line->SendInCallResponse(kStatus100, {}, {});
  dialog.toLine += fmt::sprintf(";tag=%u", line->Tag());  // from the 180 on
  line->Dialog().Update([&](DialogState& state) { state.lines = dialog; });
  line->SendInCallResponse(kStatus180, {}, {});
  std::string info = SipInfoText(source);
  line->StoreCallInfo(info);  // the host sees it with the offer; it has no connection to show it on yet
  CCon* connection = CCon::OnIncomingCall(module, line->LineIndex(), 0, caller, info, displayName, {}, {});
  line->SetConnection(connection);
  if (connection == nullptr) {
    AnswerCall(line, kEndFailed, {});  // a host without a connection refuses the call: no media
    return true;
  }
  StartPeerLookup(line, source.address);
  return true;
}

void AnswerCall(const std::shared_ptr<CallLine>& line, int reason, const MediaSettings& media) {
  if (line->Finished() || !line->Incoming() || line->State() != CallState::Setup || !line->ClaimAnswer()) {
    return;
  }
  line->SetEndReason(reason);
  if (reason == kEndNormal) {
    if (OpenCallMedia(line, media)) {
      line->SetState(CallState::Answered);
    } else {
      line->SetEndReason(kEndMediaError);
    }
  }
  line->SetAwaitingResponse(true);
  if (!StartLineThread(line, RunAnswer)) line->Finish();
}

}  // namespace talvenor
