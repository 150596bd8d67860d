// The module as the phone runs it: libtalvenor.so (talvenor.dll on
// Windows) loaded from the phone's own folder, started with CreateCom,
// driven through CCom alone, and restarted when `register` has changed the
// profile under it.
#pragma once

#include <functional>
#include <string>

#include "apps/nuvex-phone/local_endpoint.h"

class CCom;

namespace nuvex {

// Loads the library and starts the module; false after a line on stderr.
bool StartModule(const std::string& libraryPath);
// Null while the module restarts, and once it did not start again.
CCom* Module();
// The module did not start again after a restart: the phone ends.
bool ModuleLost();
// Where the module's SIP socket is, as found when it last started.
LocalEndpoint ModuleEndpoint();
// Shuts the module down (every call ends, every registered gateway account
// unregisters, the settings reach the profile) and waits until the phone
// has freed the calls.
void StopModule();
// StopModule, then `whileStopped`, then CreateCom again; false (after an
// event) when the module did not start again.
bool RestartModule(const std::function<void()>& whileStopped);

}  // namespace nuvex
