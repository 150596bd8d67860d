#include "media/media_settings.h"

#include "media/g729_library.h"
#include "config/module_settings.h"
#include "platform/endpoint.h"
#include "platform/resolver.h"

namespace talvenor {

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

}  // namespace talvenor
