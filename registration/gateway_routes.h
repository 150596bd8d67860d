// The gateways' routes (address lookups), worked out by a worker thread of
// their own. The timer's tick only reads the answers: on Windows it runs on
// the host's thread, and a DNS server that never answers would otherwise
// freeze the host's window for the resolver's whole timeout at every tick.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "registration/gateway_account.h"

namespace talvenor {

// The route of a gateway address, as FindGatewayRoute gives it, when one was
// worked out for this address and configured local address lately;
// otherwise nothing, and the worker is asked for it (once, however often the
// tick asks meanwhile). Never waits for a lookup. Thread-safe.
std::optional<GatewayRoute> KnownGatewayRoute(const std::string& address, const std::string& configuredAddress);

// Waits until the worker has ended, at most `limit` (a lookup under way
// cannot be cut short); true when none is left. For a shutdown or a test.
bool WaitForGatewayRouteLookups(std::chrono::milliseconds limit);

// Forgets every known route, so that the next ask looks up anew (tests).
void ForgetGatewayRoutes();

}  // namespace talvenor
