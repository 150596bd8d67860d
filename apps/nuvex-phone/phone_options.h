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
  bool noAudio = false;                     // --no-audio
};

// False on an unknown option, a missing or malformed value or an entry
// without "="; `why` then names the option and what is wrong with it.
bool ParsePhoneOptions(int argc, char** argv, PhoneOptions& options, std::string& why);
// The same, saying why on stderr.
bool ParsePhoneOptions(int argc, char** argv, PhoneOptions& options);
// Creates the config and data folders given, points the profile at the
// config folder and writes the --set entries into it; false (after a
// message on stderr) when a folder cannot be made or an entry written.
bool ApplyProfileOptions(const PhoneOptions& options);
// The SIP port the module binds, from the profile's "Port" entry
// ("log,ban,port") by the module's rule: 5060 when the entry is missing or
// cut short, and when the port is 0 or beyond 65535.
unsigned ConfiguredSipPort();

}  // namespace nuvex
