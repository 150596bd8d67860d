#include "apps/nuvex-phone/phone_options.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "apps/nuvex-phone/platform/environment.h"
#include "apps/nuvex-phone/platform/file_system.h"
#include "apps/nuvex-phone/platform/phone_profile.h"

namespace nuvex {

namespace {

// A number of seconds, 0 or more; nothing when the text is not one.
std::optional<double> Seconds(const std::string& text) {
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end == text.c_str() || *end != '\0' || !(value >= 0) || value > 86400) return std::nullopt;
  return value;
}

bool MakeFolder(const std::string& folder, const char* option) {
  if (folder.empty() || MakePrivateFolder(folder)) return true;
  std::fprintf(stderr, "nuvex-phone: cannot create the folder %s given to %s\n", folder.c_str(), option);
  return false;
}

}  // namespace

bool ParsePhoneOptions(int argc, char** argv, PhoneOptions& options, std::string& why) {
  for (int index = 1; index < argc; ++index) {
    std::string option = argv[index];
    // The options that take no value, or an optional one after "=".
    if (option == "--exit-when-idle") {
      options.exitWhenIdle = true;
      continue;
    }
    if (option == "--no-audio") {
      options.noAudio = true;
      continue;
    }
    if (option == "--auto-answer" || option.starts_with("--auto-answer=")) {
      options.autoAnswerSeconds = option == "--auto-answer" ? std::optional<double>(0) : Seconds(option.substr(14));
      if (!options.autoAnswerSeconds) {
        why = "--auto-answer=SECONDS takes 0 to 86400 seconds, not " + option.substr(14);
        return false;
      }
      continue;
    }
    const char* known[] = {"--call", "--reject", "--play", "--record", "--hangup-after", "--config-dir", "--data-dir",
                           "--set"};
    if (std::find(std::begin(known), std::end(known), option) == std::end(known)) {
      why = "unknown option " + option;
      return false;
    }
    if (index + 1 >= argc) {
      why = option + " needs a value";
      return false;
    }
    std::string value = argv[++index];
    if (option == "--call") {
      options.callTarget = value;
    } else if (option == "--reject") {
      char* end = nullptr;
      long reason = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || reason <= 0 || reason > 0x7fffffff) {
        why = "--reject takes a reason from 1 up, not " + value;
        return false;
      }
      options.rejectReason = static_cast<int>(reason);
    } else if (option == "--play") {
      options.playFile = value;
    } else if (option == "--record") {
      options.recordFile = value;
    } else if (option == "--hangup-after") {
      options.hangupAfterSeconds = Seconds(value);
      if (!options.hangupAfterSeconds) {
        why = "--hangup-after takes 0 to 86400 seconds, not " + value;
        return false;
      }
    } else if (option == "--config-dir") {
      options.configDir = value;
    } else if (option == "--data-dir") {
      options.dataDir = value;
    } else {
      size_t equals = value.find('=');
      if (equals == std::string::npos || equals == 0) {
        why = "--set takes ENTRY=VALUE, not " + value;
        return false;
      }
      options.entries.emplace_back(value.substr(0, equals), value.substr(equals + 1));
    }
  }
  return true;
}

bool ParsePhoneOptions(int argc, char** argv, PhoneOptions& options) {
  std::string why;
  bool parsed = ParsePhoneOptions(argc, argv, options, why);
  if (!parsed) std::fprintf(stderr, "%s: %s\n", argc > 0 ? argv[0] : "nuvex-phone", why.c_str());
  return parsed;
}

bool ApplyProfileOptions(const PhoneOptions& options) {
  if (!MakeFolder(options.configDir, "--config-dir") || !MakeFolder(options.dataDir, "--data-dir")) return false;
  if (!options.configDir.empty()) SetEnvironmentVariable("XDG_CONFIG_HOME", options.configDir);
  for (const auto& [entry, value] : options.entries) {
    if (!WriteProfileEntry(entry, value)) {
      std::fprintf(stderr, "nuvex-phone: cannot write the profile entry %s to %s\n", entry.c_str(),
                   ProfilePath().c_str());
      return false;
    }
  }
  return true;
}

unsigned ConfiguredSipPort() {
  std::string text = ReadProfileEntry("Port").value_or("");
  const char* cursor = text.c_str();
  unsigned port = 0;
  // Three numbers as the module scans them ("%u" each), parted by commas.
  for (int field = 0; field < 3; ++field) {
    if (field > 0 && *cursor++ != ',') return 5060;
    int consumed = 0;
    if (std::sscanf(cursor, "%u%n", &port, &consumed) != 1) return 5060;
    cursor += consumed;
  }
  // Port 0 would bind anywhere, and one beyond 16 bits would be cut to another port.
  return port == 0 || port > 65535 ? 5060 : port;
}

}  // namespace nuvex
