// The module's side of the "SIP Options" dialogs: the pages' logic over the
// live settings and the gateway accounts, free of any dialog toolkit.
#pragma once

#include "settings/credentials_page.h"
#include "settings/options_pages.h"

namespace talvenor {

class GatewayAccounts;

// The pages over the module's settings; one object for the process.
OptionsPages& ModuleOptionsPages();
// The gateway accounts the Gateways page shows (the module's); the pages
// take the accounts' lock for every account they read or change.
void SetOptionsAccounts(GatewayAccounts* accounts);

}  // namespace talvenor
