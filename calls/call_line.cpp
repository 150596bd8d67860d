#include "calls/call_line.h"

#include "calls/line_threads.h"
#include "sip/call_id_number.h"
#include "sip/sip_message.h"

namespace talvenor {

namespace {

DialogState FirstDialog(std::string target) {
  DialogState dialog;
  dialog.target = std::move(target);
  return dialog;
}

}  // namespace

CallLine::CallLine(CallContext& context, CallParameters parameters)
    : userId(std::move(parameters.userId)),
      displayName(std::move(parameters.displayName)),
      extraArgument(std::move(parameters.extraArgument)),
      enabledPayloadTypes(parameters.enabledPayloadTypes),
      context_(context),
      lineIndex_(parameters.lineIndex),
      incoming_(parameters.connection == nullptr),
      callIdNumber_(NewCallIdNumber()),
      callMode_(parameters.callMode),
      host_(parameters.connection),
      dialog_(FirstDialog(std::move(parameters.target))) {}

void CallLine::ShowCallInfo(std::string text) {
  StoreCallInfo(text);
  CallHost([&](CCon& connection) { connection.OnCallInfo(text); });
}

void CallLine::SetConnection(CCon* connection) {
  if (host_.Connect(connection)) host_.TellEnd(endReason_);
}

void CallLine::Disconnect() {
  if (host_.End()) host_.TellEnd(endReason_);
}

void CallLine::LeaveHost(HostThread where) {
  if (!host_.Leave()) return;
  // Not inside the host's own SendAudio: the end goes out from a thread of
  // the line, as every other end does.
  if (where == HostThread::Host &&
      StartLineThread(shared_from_this(), [](CallLine& line) { line.host_.TellEnd(line.endReason_); })) {
    return;
  }
  host_.TellEnd(endReason_);
}

void CallLine::ReleaseFrame() {
  std::scoped_lock lock(media_.frameLock);
  if (media_.outstandingFrames > 0) --media_.outstandingFrames;  // extra releases must not lift the limit
}

void CallLine::DeliverFrame(const int16_t* samples, bool heard) {
  std::scoped_lock lock(media_.frameLock);
  if (heard) media_.idleTicks = 0;
  // Before the host has given its connection (it may answer from inside the
  // offer) a frame goes nowhere, and nobody would release it.
  CallHost([&](CCon& connection) {
    ++media_.outstandingFrames;
    connection.OnAudioReceived(samples, 640, 0);
  });
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

std::string CallLine::BuildSdp() const {
  DialogState dialog = dialog_.Snapshot();
  return OnOfferedStreams(talvenor::BuildSdp(dialog.localIp, media_.localRtpPort, enabledPayloadTypes,
                                             context_.G729Busy(), dialog.sdpVersion),
                          dialog.offeredStreams);
}

bool CallLine::ParseSdp(const SipMessage& message) {
  std::optional<SdpMedia> media = talvenor::ParseSdp(message, enabledPayloadTypes);
  if (!media) return false;
  media_.payloadType = media->payloadType;
  media_.rtpPeer.Replace(media->peer);
  return true;
}

void CallLine::AttachMedia(std::shared_ptr<MediaHandle> media) {
  media_.handle.Replace(std::move(media));
  media_.open = true;
}

}  // namespace talvenor
