// Profile entries of the Gateways page: "GW" (the selected gateway) and
// "GW0" to "GW2", each "%u, %s, %s, %s, %s, %s": register flag, address,
// prefix, caller id, user id and password (stored as plain text).
#pragma once

#include <string>

#include "registration/gateway_accounts.h"

namespace talvenor {

// Splits a stored account at its commas into at most six fields, every
// space and TAB removed; missing fields are empty.
GatewayFields ParseGatewayEntry(const std::string& text);

// Creates the three accounts from the profile, under their lock. Needs
// DefaultExpiration loaded first.
void LoadGatewaySettings(GatewayAccounts& accounts);
// Writes "GW" and the three accounts, then destroys them; false when an
// entry could not be written.
bool SaveGatewaySettings(GatewayAccounts& accounts);

// Gateway of account 0 when the profile holds none.
inline constexpr const char* kDefaultGatewayHost = "sip.example.net";

}  // namespace talvenor
