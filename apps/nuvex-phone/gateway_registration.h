// `register N` and the gateways' lines of `status`. A host reaches the
// gateway accounts only through the SIP Options sheet or the profile, so
// the phone flips account N's stored register flag while the module is
// stopped and starts it again: the module's Shutdown unregisters an account
// that was registered, and its start registers one whose flag is set. The
// restart runs on a thread of its own; its outcome comes as events.
#pragma once

#include <string>
#include <vector>

namespace nuvex {

// Gateway N, 1 to 3 as the SIP Options number them. Refused, with a reply,
// while calls go on, while the sheet is open, while a restart is under way,
// and, before anything restarts, when the account to start has no address.
void ToggleGatewayRegistration(int gateway);
// Waits for a restart under way; before the phone stops the module.
void FinishGatewayWork();
// "gateway N[ (selected)]: STATE", one a gateway.
std::vector<std::string> GatewayStatus();

}  // namespace nuvex
