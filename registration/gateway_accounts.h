// The three gateway accounts, alive from start-up to shutdown.
#pragma once

#include <array>
#include <memory>
#include <string_view>

#include "registration/gateway_account.h"

namespace talvenor {

inline constexpr int kGatewayCount = 3;

// The accounts; empty slots before start-up and after shutdown. Read and
// changed under ModuleLock.
std::array<std::unique_ptr<GatewayAccount>, kGatewayCount>& GatewayAccounts();

// The account at SelectedGateway.
GatewayAccount* CurrentGateway();
// The account whose address equals the text ignoring case, the current
// gateway first, then accounts 0, 1 and 2; null when none matches.
GatewayAccount* FindGatewayByAddress(std::string_view address);

}  // namespace talvenor
