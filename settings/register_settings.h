// Profile entry of the SIP Register page: "Register".
#pragma once

namespace talvenor {

struct ModuleSettings;

// "%u,%u,%u,%u": EnableRegistrations, AuthenticateRegistrations,
// AuthenticateInvites, DefaultExpiration (low 16 bits); missing values keep
// their defaults.
void LoadRegisterSettings(ModuleSettings& settings);
// False when the entry could not be written.
bool SaveRegisterSettings(const ModuleSettings& settings);

}  // namespace talvenor
