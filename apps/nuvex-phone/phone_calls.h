// The phone's calls: one PhoneCall per call the module offers or the phone
// places, kept until the call has ended, then freed by a thread of the
// phone's own, which ends the call's thread, leaves the sound card, closes
// the files and releases the line. What the prompt does to calls.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "apps/nuvex-phone/call_options.h"

class CCom;
class CCon;

namespace nuvex {

// Before the module starts; starts the thread that frees ended calls.
void StartCalls(CallOptions options);
// Places a call to a target the module takes (see call_target.h); false,
// after an event, when no line is free.
bool PlaceCall(CCom* module, const std::string& target);
// The connection for a call the module offers.
CCon* OfferedCall(CCom* module, int line, const std::string& caller, const std::string& displayName);
// The module refused a new call with 488 before offering it.
void RefusedOffer();

// What the prompt does to calls; `line` -1 means the one call that fits
// (the ringing one to answer or reject, the only live one to hang up or
// mute). False, after a reply saying why, when no call fits.
bool AnswerCall(int line);
bool RejectCall(int reason, int line);
bool HangUpCall(int line);
bool MuteCall(int line);
// One text per live call: "LINE STATE, DIRECTION PEER, DURATION[, muted][; INFO]".
std::vector<std::string> LiveCalls();

// Whether the first call has ended (or a first offer was refused), and
// whether it had connected.
bool FirstCallEnded(bool& connected);
// Waits until every call has been freed; false when some are left after
// `limit`. After the module's Shutdown, which ends every call.
bool WaitForCallsFreed(std::chrono::milliseconds limit);
// Ends the thread that frees calls; after WaitForCallsFreed.
void StopCalls();

}  // namespace nuvex
