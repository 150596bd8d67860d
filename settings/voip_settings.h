// Profile entry of the VoIP page: "VoIP".
#pragma once

namespace talvenor {

struct ModuleSettings;

// "%u,%u,%u,%u,%u,%u": G.711u, G.711a, GSM and G.729 enabled, then
// SilenceThreshold and RtpBasePort; missing trailing values keep theirs. An
// odd base port or one above 65400 becomes 8000, and G.729 is cleared while
// its library is unavailable. Called after the library has been probed.
void LoadVoipSettings(ModuleSettings& settings);
// False when the entry could not be written.
bool SaveVoipSettings(const ModuleSettings& settings);

}  // namespace talvenor
