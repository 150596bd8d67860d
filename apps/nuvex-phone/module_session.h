// The module as the phone runs it: libtalvenor.so loaded from the phone's
// own folder, started with CreateCom, driven through CCom alone.
#pragma once

#include <string>

class CCom;

namespace nuvex {

// Loads the library and starts the module; false after a line on stderr.
bool StartModule(const std::string& libraryPath);
// Null once the module did not start again after `register`: the phone ends.
CCom* Module();
// Shuts the module down (the profile is written then).
void StopModule();

// `register N`: gateway account N (0 to 2) starts or stops registering.
// A host reaches the accounts only through the "SIP Options" sheet or the
// profile, so the phone flips the account's stored register flag between
// two runs of the module: refused while calls go on. Stopping leaves the
// gateway's binding to lapse at its expiry.
bool ToggleGatewayRegistration(int account);

}  // namespace nuvex
