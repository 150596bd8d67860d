#include "apps/nuvex-phone/call_target.h"

#include "apps/nuvex-phone/platform/case_compare.h"

namespace nuvex {

namespace {

std::string_view Trimmed(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameIgnoringCase(text.data(), prefix.data(), prefix.size());
}

}  // namespace

std::optional<std::string> ModuleTarget(std::string_view typed, std::string& why) {
  std::string_view target = Trimmed(typed);
  if (size_t open = target.find('<'); open != std::string_view::npos) {
    size_t close = target.find('>', open);
    if (close == std::string_view::npos) {
      why = "the '<' of the address is not closed";
      return std::nullopt;
    }
    target = Trimmed(target.substr(open + 1, close - open - 1));
  }
  if (StartsWithNoCase(target, "sips:")) {
    why = "sips: needs TLS; this phone speaks SIP over UDP (use sip:)";
    return std::nullopt;
  }
  if (StartsWithNoCase(target, "sip:")) {
    target.remove_prefix(4);
  } else if (StartsWithNoCase(target, "tel:")) {
    why = "tel: is no SIP address: call NUMBER@ (through the gateway) or NUMBER@HOST";
    return std::nullopt;
  }
  // Parameters and headers follow the host part; a ';' in the user part
  // (a telephone number's phone-context) stays.
  size_t hostStart = target.find('@');
  size_t cut = target.find_first_of(";?", hostStart == std::string_view::npos ? 0 : hostStart);
  target = Trimmed(target.substr(0, cut));
  if (target.empty()) {
    why = "no target: give user@host[:port], a host, NUMBER@ or a sip: address";
    return std::nullopt;
  }
  return std::string(target);
}

}  // namespace nuvex
