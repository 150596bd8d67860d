#include "media/media_settings.h"

#include "module/g729_library.h"
#include "module/module_settings.h"

namespace talvenor {

MediaSettings CurrentMediaSettings() {
  ModuleSettings& settings = Settings();
  MediaSettings media;
  media.rtpBasePort = settings.RtpBasePort;
  media.silenceThreshold = settings.SilenceThreshold;
  media.bindAddress = settings.BindAddress;
  media.localAddress = settings.LocalAddress.Get();
  media.g729 = SharedG729Library();  // the line keeps it loaded while it lives
  return media;
}

}  // namespace talvenor
