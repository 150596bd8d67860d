// How the phone takes and makes its calls, as the command line asked.
#pragma once

#include <optional>
#include <string>

namespace nuvex {

class SoundCard;

struct CallOptions {
  std::optional<double> autoAnswerSeconds;
  std::optional<int> rejectReason;  // refuse every call with this reason
  std::optional<double> hangupAfterSeconds;
  std::string playFile;  // checked before the module starts
  std::string recordFile;  // the first call's; the next ones are numbered
  // Microphone and loudspeaker of every call when no file stands in for
  // them; null when the phone has no sound card.
  SoundCard* soundCard = nullptr;
};

}  // namespace nuvex
