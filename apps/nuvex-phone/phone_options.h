// The phone's command line: --config-dir DIR, --data-dir DIR and any number
// of --set ENTRY=VALUE.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace nuvex {

struct PhoneOptions {
  std::string configDir;
  std::string dataDir;
  std::vector<std::pair<std::string, std::string>> entries;
};

// False on an unknown option, a missing value or an entry without "=".
bool ParsePhoneOptions(int argc, char** argv, PhoneOptions& options);
// Points the profile at the config folder and writes the --set entries into
// it; false (after a message on stderr) when an entry cannot be written.
bool ApplyProfileOptions(const PhoneOptions& options);
// The SIP port the module will bind, from the profile's "Port" entry.
unsigned ConfiguredSipPort();

}  // namespace nuvex
