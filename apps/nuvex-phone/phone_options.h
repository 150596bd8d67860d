// The phone's command line: --config-dir DIR, --data-dir DIR, any number of
// --set ENTRY=VALUE, and the options that make and take calls from it.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace nuvex {

struct PhoneOptions {
  std::string configDir;
  std::string dataDir;
  std::vector<std::pair<std::string, std::string>> entries;
  std::optional<double> autoAnswerSeconds;  // --auto-answer[=SECONDS]
  std::optional<int> rejectReason;          // --reject REASON
  std::string callTarget;                   // --call TARGET
  std::string playFile;                     // --play FILE.wav
  std::string recordFile;                   // --record FILE.wav
  std::optional<double> hangupAfterSeconds; // --hangup-after SECONDS
  bool exitWhenIdle = false;                // --exit-when-idle
};

// False on an unknown option, a missing value or an entry without "=".
bool ParsePhoneOptions(int argc, char** argv, PhoneOptions& options);
// Points the profile at the config folder and writes the --set entries into
// it; false (after a message on stderr) when an entry cannot be written.
bool ApplyProfileOptions(const PhoneOptions& options);
// The SIP port the module will bind, from the profile's "Port" entry.
unsigned ConfiguredSipPort();

}  // namespace nuvex
