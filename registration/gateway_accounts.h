// The three gateway accounts, alive from start-up to shutdown.
#pragma once

#include <array>
#include <memory>
#include <string>
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

// Destroys the accounts without saving them (a start-up that failed).
// Under ModuleLock.
void DestroyGatewayAccounts();

// At shutdown, under ModuleLock: every registered account unregisters at
// the next ticks. True, later, once none is registering any more.
void UnregisterAccountsForShutdown();
bool AccountsIdle();

// One timer tick's registrations: the accounts found due under ModuleLock,
// their routes looked up without it (name lookups may take seconds), their
// REGISTERs sent under it again.
struct DueRegistration {
  bool due = false;
  std::string address;
  GatewayRoute route;
};
using DueRegistrations = std::array<DueRegistration, kGatewayCount>;
DueRegistrations FindDueRegistrations();
void LookUpRoutes(DueRegistrations& due);
// An account whose address changed meanwhile, or that was not due when the
// routes were looked up, waits for the next tick.
void SendDueRegisters(const DueRegistrations& due);

}  // namespace talvenor
