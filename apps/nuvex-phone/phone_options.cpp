#include "apps/nuvex-phone/phone_options.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "apps/nuvex-phone/phone_profile.h"

namespace nuvex {

bool ParsePhoneOptions(int argc, char** argv, PhoneOptions& options) {
  for (int index = 1; index < argc; ++index) {
    std::string option = argv[index];
    if (index + 1 >= argc) return false;
    std::string value = argv[++index];
    if (option == "--config-dir") {
      options.configDir = value;
    } else if (option == "--data-dir") {
      options.dataDir = value;
    } else if (option == "--set") {
      size_t equals = value.find('=');
      if (equals == std::string::npos || equals == 0) return false;
      options.entries.emplace_back(value.substr(0, equals), value.substr(equals + 1));
    } else {
      return false;
    }
  }
  return true;
}

bool ApplyProfileOptions(const PhoneOptions& options) {
  if (!options.configDir.empty()) setenv("XDG_CONFIG_HOME", options.configDir.c_str(), 1);
  for (const auto& [entry, value] : options.entries) {
    if (!WriteProfileEntry(entry, value)) {
      std::fprintf(stderr, "nuvex-phone: cannot write the profile entry %s to %s\n", entry.c_str(),
                   ProfilePath().c_str());
      return false;
    }
  }
  return true;
}

// "Port" holds "log,ban,port"; the port counts only when all three numbers
// are there, as the module reads it.
unsigned ConfiguredSipPort() {
  std::string text = ReadProfileEntry("Port").value_or("");
  const char* cursor = text.c_str();
  unsigned long number = 0;
  for (int field = 0; field < 3; ++field) {
    if (field > 0 && *cursor++ != ',') return 5060;
    char* end = nullptr;
    number = std::strtoul(cursor, &end, 10);
    if (end == cursor) return 5060;
    cursor = end;
  }
  return static_cast<uint16_t>(number);
}

}  // namespace nuvex
