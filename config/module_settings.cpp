#include "config/module_settings.h"

namespace talvenor {

namespace {

void ApplyDefaults(ModuleSettings& settings) {
  settings.LocalAddress.Set(settings.HostName.Get());
  settings.DisplayName.Set(settings.HostName.Get());
  settings.SipPort = 5060;
  settings.LogEnabled = 0;
  settings.BanEnabled = 0;
  settings.EnableRegistrations = 0;
  settings.AuthenticateRegistrations = 0;
  settings.AuthenticateInvites = 0;
  settings.DefaultExpiration = kDefaultExpiration;
  settings.SelectedGateway = 0;
  for (int type = 0; type < kPayloadTypeCount; ++type) {
    settings.EnabledPayloadTypes[type] = (type == 0 || type == 3 || type == 8) ? 1 : 0;
  }
  settings.RtpBasePort = kDefaultRtpBasePort;
  settings.SilenceThreshold = 0;
  settings.G729Busy = 0;
}

// Never destroyed: the module's threads may still read settings while a host
// that skipped Shutdown exits.
ModuleSettings& MakeSettings() {
  static ModuleSettings* settings = new ModuleSettings;
  ApplyDefaults(*settings);
  return *settings;
}

}  // namespace

ModuleSettings& Settings() {
  static ModuleSettings& settings = MakeSettings();
  return settings;
}

void RestoreDefaultSettings() { ApplyDefaults(Settings()); }

}  // namespace talvenor
