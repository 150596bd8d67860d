#include "apps/nuvex-phone/phone_status.h"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "apps/nuvex-phone/gateway_registration.h"
#include "apps/nuvex-phone/module_profile.h"
#include "apps/nuvex-phone/module_session.h"
#include "apps/nuvex-phone/phone_calls.h"
#include "apps/nuvex-phone/phone_host.h"
#include "apps/nuvex-phone/phone_output.h"

namespace nuvex {

namespace {

// SIP-REG holds "user@address:port PIN RegTime Expires DateTime Name
// User-Agent", fields parted by TABs; a line counts while RegTime plus
// Expires lies ahead (or has no Expires at all). The column titles never do.
int LiveRegistrations(const std::string& path, bool& readable) {
  std::ifstream list(path);
  readable = list.is_open();
  long now = static_cast<long>(std::time(nullptr));
  int live = 0;
  std::string line;
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    std::string key, mark, registered, expires;
    if (!(fields >> key >> mark >> registered)) continue;
    fields >> expires;
    char* end = nullptr;
    long since = std::strtol(registered.c_str(), &end, 10);
    if (registered.empty() || *end != '\0') continue;
    if (expires.empty() || since + std::strtol(expires.c_str(), nullptr, 10) >= now) ++live;
  }
  return live;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text.empty() ? "none" : text;
}

}  // namespace

void ShowStatus() {
  LocalEndpoint endpoint = ModuleEndpoint();
  Reply("SIP port " + std::to_string(endpoint.port) + ": call this phone at sip:phone@" + endpoint.address + ":" +
        std::to_string(endpoint.port) + (Module() == nullptr ? " (the module is restarting)" : ""));
  Reply("codecs: " + Joined(ProfileCodecs()));
  for (const std::string& line : GatewayStatus()) Reply(line);
  std::string list = DataDirectory() + "/SIP-REG.txt";
  bool readable = false;
  int live = LiveRegistrations(list, readable);
  Reply(readable ? "registrar: " + std::to_string(live) + " live registration" + (live == 1 ? "" : "s") + " in " + list
                 : "registrar: no registrations (" + list + " does not exist)");
  size_t calls = LiveCalls().size();
  Reply(calls == 0 ? std::string("calls: none") : "calls: " + std::to_string(calls) + " ('lines' shows them)");
}

}  // namespace nuvex
