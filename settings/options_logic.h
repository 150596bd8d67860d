// The module's side of the "SIP Options" dialogs: the pages' logic over the
// module's settings and gateway accounts, free of any dialog toolkit.
#pragma once

#include "settings/credentials_page.h"
#include "settings/options_pages.h"

namespace talvenor {

class GatewayAccounts;
struct ModuleSettings;

// The pages over the module's settings; one object for the process, used
// only once the module has handed them over.
OptionsPages& ModuleOptionsPages();
// What the pages show and change: the module's settings and its gateway
// accounts, both living until the process ends. The pages take the
// accounts' lock for every account they read or change.
void SetOptionsModule(GatewayAccounts& accounts, ModuleSettings& settings);

}  // namespace talvenor
