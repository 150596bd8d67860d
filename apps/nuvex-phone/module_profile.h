// The module's entries in the profile as the phone reads them, by the rules
// the module loads them with. The module writes its settings back when it
// stops: what the SIP Options sheet changed shows here only after that.
#pragma once

#include <string>
#include <vector>

namespace nuvex {

// "VoIP" (flags of PCMU, PCMA, GSM, G.729, then the silence threshold and
// the first RTP port): the codecs offered, PCMU, PCMA and GSM when the entry
// is missing.
std::vector<std::string> ProfileCodecs();
// "Address": the address the module announces; empty when unset.
std::string ProfileAddress();

// Gateway N (1 to 3) is entry "GW" N-1: "FLAG, ADDRESS[:PORT], PREFIX,
// CALLER-ID, USER-ID, PASSWORD", blanks ignored; "GW" holds the selected
// gateway, 0 to 2.
struct GatewayEntry {
  bool registering = false;
  std::string address;
  std::string prefix;
  std::string callerId;
  std::string userId;
  std::string password;
};
constexpr int kGateways = 3;
std::string GatewayEntryName(int gateway);
// As the module loads it: gateway 1 without an entry is the module's
// example account.
GatewayEntry ProfileGateway(int gateway);
// The gateway calls to "NUMBER@" go through, 1 to 3.
int ProfileSelectedGateway();
// The entry with its register flag set or cleared, every other field kept.
std::string WithRegisterFlag(const std::string& stored, bool registering);

}  // namespace nuvex
