// The lookups tests put in place of the system's (SetHostLookup and
// SetReverseLookup of resolver.h), shared by the resolvers of every system.
#pragma once

#include "platform/resolver.h"

namespace talvenor {

// The lookup put in place, or an empty one when the system's is in use.
HostLookup InstalledHostLookup();
AddressLookup InstalledReverseLookup();

}  // namespace talvenor
