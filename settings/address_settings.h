// Profile entries of the SIP Address page: "Name", "Address" and "Port".
#pragma once

namespace talvenor {

struct ModuleSettings;

// HostName from the system, then "Name" into DisplayName (without quotes
// and backslashes), "Address" into LocalAddress (empty becomes HostName) and
// "Port" ("%u,%u,%u": LogEnabled, BanEnabled, SipPort) as far as it parses.
void LoadAddressSettings(ModuleSettings& settings);
// Writes "Port", then "Name", then "Address"; false when one could not be written.
bool SaveAddressSettings(const ModuleSettings& settings);

}  // namespace talvenor
