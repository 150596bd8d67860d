#include "registration/gateway_accounts.h"

#include <algorithm>
#include <mutex>

#include "config/module_settings.h"
#include "sip/tokens.h"

namespace talvenor {

std::array<std::unique_ptr<GatewayAccount>, kGatewayCount>& GatewayAccounts() {
  // Never destroyed, like the module itself: the timer may still tick while
  // a host that skipped Shutdown exits.
  static auto* accounts = new std::array<std::unique_ptr<GatewayAccount>, kGatewayCount>;
  return *accounts;
}

GatewayAccount* CurrentGateway() {
  int selected = Settings().SelectedGateway;
  if (selected < 0 || selected >= kGatewayCount) selected = 0;
  return GatewayAccounts()[selected].get();
}

GatewayAccount* FindGatewayByAddress(std::string_view address) {
  auto matches = [&](GatewayAccount* account) {
    return account != nullptr && EqualsIgnoreCase(account->address, address);
  };
  if (GatewayAccount* current = CurrentGateway(); matches(current)) return current;
  for (auto& account : GatewayAccounts()) {
    if (matches(account.get())) return account.get();
  }
  return nullptr;
}

void DestroyGatewayAccounts() {
  for (auto& account : GatewayAccounts()) account.reset();
}

void UnregisterAccountsForShutdown() {
  for (auto& account : GatewayAccounts()) {
    if (account) account->UnregisterForShutdown();
  }
}

bool AccountsIdle() {
  return std::none_of(GatewayAccounts().begin(), GatewayAccounts().end(),
                      [](const auto& account) { return account && account->attemptsLeft != 0; });
}

DueRegistrations FindDueRegistrations() {
  DueRegistrations due;
  for (int index = 0; index < kGatewayCount; ++index) {
    const auto& account = GatewayAccounts()[index];
    if (account && account->IsDue()) due[index] = {true, account->address, {}};
  }
  return due;
}

void LookUpRoutes(DueRegistrations& due) {
  for (DueRegistration& registration : due) {
    if (registration.due) registration.route = FindGatewayRoute(registration.address);
  }
}

void SendDueRegisters(const DueRegistrations& due) {
  for (int index = 0; index < kGatewayCount; ++index) {
    const auto& account = GatewayAccounts()[index];
    if (account && due[index].due && account->address == due[index].address) {
      account->SendRegister(due[index].route);
    }
  }
}

}  // namespace talvenor
