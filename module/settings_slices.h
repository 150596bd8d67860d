// Each subsystem's share of the module-wide settings, read from them at the
// moment of use: the options pages change them while the receive thread, the
// timer and the line threads run.
#pragma once

#include <cstdint>

#include "calls/call_settings.h"
#include "media/line_media.h"
#include "registration/gateway_account.h"
#include "registration/registrar.h"
#include "transport/traffic_guard.h"

namespace talvenor {

RegistrarSettings CurrentRegistrarSettings();
AccountSettings CurrentAccountSettings();
int SelectedGatewayIndex();
TrafficGuardSettings CurrentTrafficGuardSettings();
// The longest a registration taken here lives: DefaultExpiration.
uint32_t RegistrationLifetimeCap();

// The settings a line's media takes when it opens. The LocalAddress setting
// comes resolved to a dotted address (a name lookup, so never call this
// under ModuleLock).
MediaSettings CurrentMediaSettings();
// An outgoing call's From line and media, the same way.
OutgoingCallSettings CurrentOutgoingCallSettings();

}  // namespace talvenor
