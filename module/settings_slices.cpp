#include "module/settings_slices.h"

#include "config/module_settings.h"
#include "media/g729_library.h"
#include "platform/endpoint.h"
#include "platform/resolver.h"

namespace talvenor {

RegistrarSettings CurrentRegistrarSettings() {
  ModuleSettings& settings = Settings();
  return {settings.DefaultExpiration, settings.AuthenticateRegistrations != 0, settings.LocalAddress.Get()};
}

AccountSettings CurrentAccountSettings() {
  ModuleSettings& settings = Settings();
  return {settings.DefaultExpiration, settings.LocalAddress.Get(), settings.DisplayName.Get()};
}

int SelectedGatewayIndex() { return Settings().SelectedGateway; }

TrafficGuardSettings CurrentTrafficGuardSettings() {
  ModuleSettings& settings = Settings();
  return {settings.BanEnabled != 0, settings.LogEnabled != 0};
}

uint32_t RegistrationLifetimeCap() { return Settings().DefaultExpiration; }

MediaSettings CurrentMediaSettings() {
  ModuleSettings& settings = Settings();
  MediaSettings media;
  media.rtpBasePort = settings.RtpBasePort;
  media.silenceThreshold = settings.SilenceThreshold;
  media.liveSilenceThreshold = &settings.SilenceThreshold;  // the settings live as long as the library
  media.bindAddress = settings.BindAddress;
  // Looked up here, where no module lock is held: the media opens under
  // ModuleLock when the host answers, and a name lookup may take seconds.
  std::string localAddress = settings.LocalAddress.Get();
  uint32_t resolved = ResolveIpv4(localAddress);
  media.localAddress = resolved != 0 ? DottedAddress(resolved) : localAddress;
  media.g729 = SharedG729Library();  // the line keeps it loaded while it lives
  return media;
}

OutgoingCallSettings CurrentOutgoingCallSettings() {
  ModuleSettings& settings = Settings();
  return {settings.DisplayName.Get(), settings.LocalAddress.Get(), CurrentMediaSettings()};
}

}  // namespace talvenor
