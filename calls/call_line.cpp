#include "calls/call_line.h"

#include <fmt/printf.h>

#include <thread>

#include "calls/call_timing.h"
#include "calls/line_threads.h"
#include "sip/call_id_number.h"
#include "sip/compose.h"
#include "sip/header_names.h"
#include "sip/recipes.h"
#include "sip/sip_message.h"
#include "sip/tokens.h"

namespace talvenor {

namespace {

// The line with another header name, its value unchanged.
std::string WithHeaderName(std::string_view line, std::string_view name) {
  size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string(line) : std::string(name) + std::string(line.substr(colon));
}

std::string ContentLines(std::string_view body) {
  std::string text = body.empty() ? std::string{} : fmt::sprintf("%s: application/sdp\r\n", "Content-Type");
  return text + fmt::sprintf("%s: %u\r\n\r\n%s", "Content-Length", body.size(), body);
}

}  // namespace

CallLine::CallLine(CallContext& context, CallParameters parameters)
    : extraArgument(std::move(parameters.extraArgument)),
      enabledPayloadTypes(parameters.enabledPayloadTypes),
      callMode_(parameters.callMode),
      context_(context),
      lineIndex_(parameters.lineIndex),
      incoming_(parameters.connection == nullptr),
      callIdNumber_(NewCallIdNumber()),
      connection_(parameters.connection),
      target_(std::move(parameters.target)),
      userId_(std::move(parameters.userId)),
      displayName_(std::move(parameters.displayName)) {}

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
  std::string_view methodName = KindText(method);
  bool inDialog = scope == RequestScope::Dialog;
  std::string text;
  Ipv4Endpoint destination;
  {
    std::scoped_lock lock(textMutex_);
    if (incoming_ && method == kBye && !namesExchanged_) {
      // Our BYE goes the other way: the caller's From is its To. Stored, so
      // a repeated BYE is not swapped back.
      std::string from = WithHeaderName(dialog_.toLine, kFromHeader);
      dialog_.fromLine = WithHeaderName(dialog_.fromLine, kToHeader);
      dialog_.toLine = std::move(from);
      namesExchanged_ = true;
    }
    if (method == kInvite) {
      inviteCseq_ = cseq_;  // its answers are ours from now on
      inviteToLine_ = dialog_.toLine;
    }
    // An ACK carries its INVITE's number, and so does a CANCEL.
    bool ofTheInvite = (method == kAck || method == kCancel) && inviteCseq_ != 0;
    uint32_t number = ofTheInvite ? static_cast<uint32_t>(inviteCseq_.load()) : cseq_.load();
    // The INVITE's transaction keeps one branch (CANCEL and the ACK of a
    // failure repeat it); every other request is a transaction of its own,
    // its branch told by number and method. All begin with our tag.
    char transaction = inDialog ? static_cast<char>(methodName[0] | 0x20) : 'i';
    std::string branch = !inDialog && number == 1
                             ? fmt::sprintf("%s%u", kBranchPrefix, Tag())
                             : fmt::sprintf("%s%u.%u%c", kBranchPrefix, Tag(), number, transaction);
    std::string routes;
    if (inDialog) {
      for (const std::string& route : routeSet_) routes += fmt::sprintf("\r\n%s: %s", kRouteHeader, route);
    }
    // A CANCEL repeats its INVITE's To, which had no tag yet.
    if (toLine.empty()) toLine = method == kCancel && !inviteToLine_.empty() ? inviteToLine_ : dialog_.toLine;
    text = fmt::sprintf("%s sip:%s %s\r\n%s\r\n%s\r\n%s\r\n%s\r\n%s: %u %s\r\n%s%s%s%s\r\n", methodName,
                        inDialog && !remoteTarget_.empty() ? remoteTarget_ : target_, kSipVersionText,
                        ViaLine(localIp_, PortSuffix(context_.AdvertisedSipPort()), branch), toLine,
                        dialog_.fromLine, dialog_.callIdLine, kCseqHeader, number, methodName, kMaxForwardsLine,
                        routes, authorizationText_, proxyAuthorizationText_);
    destination = inDialog ? DialogDestination() : sipPeer_;
  }
  if (!extraText.empty()) text += fmt::sprintf("%s\r\n%s", extraText, UserAgentLine()) + "\r\n";
  text += ContentLines(body);
  return context_.SendSip(text, destination);
}

Ipv4Endpoint CallLine::DialogDestination() const {
  // Loose routing: the first route's address. Only a dotted one is taken:
  // nothing here waits for a name lookup.
  if (routeSet_.empty()) return sipPeer_;
  std::string_view uri = AddressUri(routeSet_.front());
  size_t at = uri.find('@');
  std::string_view hostPort = uri.substr(at == std::string_view::npos ? uri.find(':') + 1 : at + 1);
  hostPort = hostPort.substr(0, hostPort.find_first_of(";>"));
  std::string_view host = hostPort.substr(0, hostPort.find(':'));
  uint32_t address = ParseDottedAddress(host);
  if (address == 0) return sipPeer_;
  int32_t port = host.size() < hostPort.size() ? DecimalValue(hostPort.substr(host.size() + 1)) : kDefaultSipPort;
  return {address, NetworkPort(port > 0 && port <= 65535 ? static_cast<uint16_t>(port) : kDefaultSipPort)};
}

long CallLine::SendInCallResponse(SipKind status, std::string_view extraText, std::string_view body) {
  // Only the caller's INVITE is answered from the stored lines: its Vias,
  // and from the first ringing on the proxies' Record-Route lines.
  std::string text;
  {
    std::scoped_lock lock(textMutex_);
    std::string recordRoutes = status != kStatus100 && KindText(status) < "300" && !dialog_.recordRouteLines.empty()
                                   ? dialog_.recordRouteLines + "\r\n"
                                   : std::string();
    text = fmt::sprintf("%s %s %s\r\n%s\r\n%s%s\r\n%s\r\n%s\r\n%s\r\n", kSipVersionText, KindText(status),
                        ReasonPhrase(status), dialog_.viaLine, recordRoutes, dialog_.toLine, dialog_.fromLine,
                        dialog_.callIdLine, dialog_.cseqLine);
  }
  if (!extraText.empty()) text += fmt::sprintf("%s\r\n", extraText);  // responses carry no User-Agent
  text += ContentLines(body);
  return SendToPeer(text);
}

long CallLine::SendToPeer(const std::string& text) { return context_.SendSip(text, SipPeer()); }

std::string CallLine::BuildSdp() const {
  return talvenor::BuildSdp(LocalIp(), localRtpPort_, enabledPayloadTypes, context_.G729Busy());
}

bool CallLine::ParseSdp(const SipMessage& message) {
  std::optional<SdpMedia> media = talvenor::ParseSdp(message, enabledPayloadTypes);
  if (!media) return false;
  payloadType_ = media->payloadType;
  std::scoped_lock lock(textMutex_);
  rtpPeer_ = media->peer;
  return true;
}

void CallLine::ReleaseFrame() {
  std::scoped_lock lock(lineLock_);
  if (outstandingFrames_ > 0) --outstandingFrames_;  // extra releases must not lift the limit
}

void CallLine::DeliverFrame(const int16_t* samples, bool heard) {
  std::scoped_lock lock(lineLock_);
  if (heard) idleTicks_ = 0;
  // Before the host has given its connection (it may answer from inside the
  // offer) a frame goes nowhere, and nobody would release it.
  CallHost([&](CCon& connection) {
    ++outstandingFrames_;
    connection.OnAudioReceived(samples, 640, 0);
  });
}

int CallLine::OutstandingFrames() const {
  std::scoped_lock lock(lineLock_);
  return outstandingFrames_;
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

void CallLine::PauseUnlessFinished(std::chrono::milliseconds pause) {
  std::unique_lock lock(finishMutex_);
  finishSignal_.wait_for(lock, pause, [this] { return finished_.load(); });
}

void CallLine::FailEarly(int reason) {
  // Finished too: a HangUp that follows finds nothing left to end.
  if (finished_.exchange(true)) return;
  endReason_ = reason;
  Disconnect();
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

std::string CallLine::UserId() const {
  std::scoped_lock lock(textMutex_);
  return userId_;
}

void CallLine::SetUserId(std::string userId) {
  std::scoped_lock lock(textMutex_);
  userId_ = std::move(userId);
}

std::string CallLine::DisplayName() const {
  std::scoped_lock lock(textMutex_);
  return displayName_;
}

void CallLine::SetDisplayName(std::string displayName) {
  std::scoped_lock lock(textMutex_);
  displayName_ = std::move(displayName);
}

void CallLine::Disconnect() {
  {
    std::scoped_lock lock(hostMutex_);
    if (told_ || endPending_) return;  // once per call, whichever path ends it
    if (hostCalls_ > 0) {
      endPending_ = true;  // the call under way delivers it as it returns
      return;
    }
    told_ = true;
  }
  TellEnd();
}

void CallLine::TellEnd() {
  CCon* connection;
  {
    std::scoped_lock lock(hostMutex_);
    connection = connection_;
    endHeard_ = connection != nullptr;
  }
  if (connection != nullptr) connection->OnDisconnected(endReason_);
}

void CallLine::SetConnection(CCon* connection) {
  bool endMissed;
  {
    std::scoped_lock lock(hostMutex_);
    connection_ = connection;
    // The call ended while the host was being offered it: the end had
    // nobody to go to then, and goes to the connection now.
    endMissed = told_ && !endHeard_ && connection != nullptr;
  }
  if (endMissed) TellEnd();
}

bool CallLine::EnterHost() {
  std::scoped_lock lock(hostMutex_);
  if (told_ || endPending_) return false;  // the host may have let go of the connection
  ++hostCalls_;
  return true;
}

void CallLine::LeaveHost(HostThread where) {
  {
    std::scoped_lock lock(hostMutex_);
    if (--hostCalls_ > 0 || !endPending_) return;
    endPending_ = false;
    told_ = true;
  }
  // Not inside the host's own SendAudio: the end goes out from a thread of
  // the line, as every other end does.
  if (where == HostThread::Host && StartLineThread(shared_from_this(), [](CallLine& line) { line.TellEnd(); })) {
    return;
  }
  TellEnd();
}

void CallLine::ShowCallInfo(std::string text) {
  {
    std::scoped_lock lock(textMutex_);
    infoText_ = text;
  }
  CallHost([&](CCon& connection) { connection.OnCallInfo(text); });
}

void CallLine::AttachMedia(std::shared_ptr<MediaHandle> media) {
  {
    std::scoped_lock lock(textMutex_);
    media_ = std::move(media);
  }
  mediaOpen_ = true;
}

std::shared_ptr<MediaHandle> CallLine::Media() const {
  std::scoped_lock lock(textMutex_);
  return media_;
}

std::string CallLine::PeerHostName() const {
  std::scoped_lock lock(textMutex_);
  return peerHostName_;
}

void CallLine::SetPeerHostName(std::string name) {
  std::scoped_lock lock(textMutex_);
  peerHostName_ = std::move(name);
}

void CallLine::SetRtpPeer(const Ipv4Endpoint& peer) {
  std::scoped_lock lock(textMutex_);
  rtpPeer_ = peer;
}

std::string CallLine::InfoText() const {
  std::scoped_lock lock(textMutex_);
  return infoText_;
}

DialogLines CallLine::Dialog() const {
  std::scoped_lock lock(textMutex_);
  return dialog_;
}

void CallLine::SetDialog(DialogLines lines) {
  std::scoped_lock lock(textMutex_);
  dialog_ = std::move(lines);
  namesExchanged_ = false;
}

std::string CallLine::CallIdLine() const {
  std::scoped_lock lock(textMutex_);
  return dialog_.callIdLine;
}

void CallLine::SetGateway(std::optional<GatewayCredentials> gateway) {
  std::scoped_lock lock(textMutex_);
  gateway_ = std::move(gateway);
}

std::string CallLine::Target() const {
  std::scoped_lock lock(textMutex_);
  return target_;
}

void CallLine::SetTarget(std::string target) {
  std::scoped_lock lock(textMutex_);
  target_ = std::move(target);
}

Ipv4Endpoint CallLine::SipPeer() const {
  std::scoped_lock lock(textMutex_);
  return sipPeer_;
}

void CallLine::SetSipPeer(const Ipv4Endpoint& peer) {
  std::scoped_lock lock(textMutex_);
  sipPeer_ = peer;
}

Ipv4Endpoint CallLine::RtpPeer() const {
  std::scoped_lock lock(textMutex_);
  return rtpPeer_;
}

std::string CallLine::LocalIp() const {
  std::scoped_lock lock(textMutex_);
  return localIp_;
}

void CallLine::SetLocalIp(std::string localIp) {
  std::scoped_lock lock(textMutex_);
  localIp_ = std::move(localIp);
}

std::string CallLine::AuthorizationText() const {
  std::scoped_lock lock(textMutex_);
  return authorizationText_;
}

std::string CallLine::ProxyAuthorizationText() const {
  std::scoped_lock lock(textMutex_);
  return proxyAuthorizationText_;
}

}  // namespace talvenor
