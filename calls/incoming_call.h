// An incoming call: the line filled from the INVITE and offered to the host,
// and the host's answer, repeated until the caller acknowledges it.
#pragma once

#include <memory>

#include "media/line_media.h"

class CCom;

namespace talvenor {

class CallLine;
class SipMessage;

// Fills a new incoming line from its INVITE, sends 100 and 180 and offers
// the call to the host with CCon::OnIncomingCall. False, having sent
// nothing, when the INVITE lacks what a call needs or offers no usable
// media. Under ModuleLock, on the receive thread.
bool AcceptInvite(const std::shared_ptr<CallLine>& line, const SipMessage& invite, CCom* module);

// The host's answer (CCom slot 4): 0 accepts, any other reason rejects with
// 480 and comes back to the host as the end reason. Once, on an incoming
// line still ringing; under ModuleLock.
// `media` is what the media opens with, worked out before ModuleLock was taken.
void AnswerCall(const std::shared_ptr<CallLine>& line, int reason, const MediaSettings& media);

}  // namespace talvenor
