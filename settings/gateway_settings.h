// Profile entries of the Gateways page: "GW" (the selected gateway) and
// "GW0" to "GW2", each "%u, %s, %s, %s, %s, %s": register flag, address,
// prefix, caller id, user id and password (stored as plain text).
#pragma once

#include <string>

#include "registration/gateway_accounts.h"

namespace talvenor {

struct ModuleSettings;

// Splits a stored account at its commas into at most six fields, every
// space and TAB removed; missing fields are empty.
GatewayFields ParseGatewayEntry(const std::string& text);

// "GW" into SelectedGateway, and the three accounts created from the
// profile, under their lock. Needs DefaultExpiration loaded first.
void LoadGatewaySettings(ModuleSettings& settings, GatewayAccounts& accounts);
// Writes "GW" and the three accounts, then destroys them; false when an
// entry could not be written.
bool SaveGatewaySettings(const ModuleSettings& settings, GatewayAccounts& accounts);

// Gateway of account 0 when the profile holds none.
inline constexpr const char* kDefaultGatewayHost = "sip.example.net";

}  // namespace talvenor
