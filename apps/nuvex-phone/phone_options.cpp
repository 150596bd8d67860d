#include "apps/nuvex-phone/phone_options.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "apps/nuvex-phone/phone_profile.h"

namespace nuvex {

namespace {

// A number of seconds, 0 or more; nothing when the text is not one.
std::optional<double> Seconds(const std::string& text) {
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end == text.c_str() || *end != '\0' || !(value >= 0) || value > 86400) return std::nullopt;
  return value;
}

}  // namespace

bool ParsePhoneOptions(int argc, char** argv, PhoneOptions& options) {
  for (int index = 1; index < argc; ++index) {
    std::string option = argv[index];
    // The options that take no value, or an optional one after "=".
    if (option == "--exit-when-idle") {
      options.exitWhenIdle = true;
      continue;
    }
    if (option == "--auto-answer" || option.starts_with("--auto-answer=")) {
      options.autoAnswerSeconds = option == "--auto-answer" ? std::optional<double>(0) : Seconds(option.substr(14));
      if (!options.autoAnswerSeconds) return false;
      continue;
    }
    if (index + 1 >= argc) return false;
    std::string value = argv[++index];
    if (option == "--call") {
      options.callTarget = value;
    } else if (option == "--reject") {
      char* end = nullptr;
      long reason = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || reason <= 0 || reason > 0x7fffffff) return false;
      options.rejectReason = static_cast<int>(reason);
    } else if (option == "--play") {
      options.playFile = value;
    } else if (option == "--record") {
      options.recordFile = value;
    } else if (option == "--hangup-after") {
      options.hangupAfterSeconds = Seconds(value);
      if (!options.hangupAfterSeconds) return false;
    } else if (option == "--config-dir") {
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
