// The phone's calls: a connection object per call that prints what happens,
// answers by itself when asked to, plays the microphone file into the call,
// records what arrives (releasing each frame as it is written) or plays it
// on the sound card (releasing it once played), hangs up
// after a while when asked to, and releases its line once the call ended.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apps/nuvex-phone/sound_card.h"
#include "apps/nuvex-phone/wav_files.h"

class CCom;
class CCon;

namespace nuvex {

struct CallOptions {
  std::optional<double> autoAnswerSeconds;
  std::optional<int> rejectReason;  // refuse every call with this reason
  std::optional<double> hangupAfterSeconds;
  std::string playFile;  // checked before the module starts
  std::string recordFile;
  // Microphone and loudspeaker of every call when no file stands in for
  // them; null when the phone has no sound card.
  SoundCard* soundCard = nullptr;
};

// Set once the module runs.
void StartCalls(CCom* module, CallOptions options);
// The module started again (after `register`).
void RestartCalls(CCom* module);
// Places a call; false (after a line on stdout) when no line is free.
bool PlaceCall(const std::string& target);
// The connection for a call the module offers.
CCon* OfferedCall(int line, const std::string& caller, const std::string& displayName);
// What the prompt does to calls; `line` -1 means the one call that fits
// (the ringing one to answer or reject, the only live one to hang up).
// False, after a line on stdout, when no call fits.
bool AnswerCall(int line);
bool RejectCall(int reason, int line);
bool HangUpCall(int line);
// One text per live call: "LINE STATE INFO".
std::vector<std::string> LiveCalls();

// Whether the first call has ended, and whether it had connected.
bool FirstCallEnded(bool& connected);
// Ends the phone's own threads and hangs up what still goes on; before the
// module shuts down.
void StopCalls();
// Completes the recordings; after the module shut down.
void CloseCallFiles();

}  // namespace nuvex
