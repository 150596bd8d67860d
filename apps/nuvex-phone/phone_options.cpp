#include "apps/nuvex-phone/phone_options.h"

#include <cstdio>
#include <cstdlib>

#include "platform/profile_store.h"
#include "settings/profile_values.h"

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
    if (!talvenor::ModuleProfile().WriteString(entry, value)) {
      std::fprintf(stderr, "nuvex-phone: cannot write the profile entry %s\n", entry.c_str());
      return false;
    }
  }
  return true;
}

unsigned ConfiguredSipPort() {
  std::vector<uint32_t> port = talvenor::ScanUnsignedList(talvenor::ModuleProfile().GetString("Port"), 3);
  return port.size() > 2 ? static_cast<uint16_t>(port[2]) : 5060u;
}

}  // namespace nuvex
