// What an outgoing call takes from the module's settings as it starts; the
// module fills it (CallContext::SettingsForOutgoingCall), so that the call
// code reads no settings of its own.
#pragma once

#include <string>

#include "media/line_media.h"

namespace talvenor {

struct OutgoingCallSettings {
  std::string displayName;   // the From line's display name; empty: the host's
  std::string localAddress;  // the From line's host, as the settings spell it
  MediaSettings media;       // what the call's media opens with
};

}  // namespace talvenor
