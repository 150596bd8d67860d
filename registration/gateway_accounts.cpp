#include "registration/gateway_accounts.h"

#include <algorithm>

#include "registration/gateway_routes.h"
#include "sip/tokens.h"

namespace talvenor {

void GatewayAccounts::Create(int index, const GatewayFields& fields) {
  slots_[index] = std::make_unique<GatewayAccount>(channel_, lock_, settings_, fields);
}

GatewayAccount* GatewayAccounts::Current() {
  int selected = selected_();
  if (selected < 0 || selected >= kGatewayCount) selected = 0;
  return slots_[selected].get();
}

GatewayAccount* GatewayAccounts::FindByAddress(std::string_view address) {
  auto matches = [&](GatewayAccount* account) {
    return account != nullptr && EqualsIgnoreCase(account->address, address);
  };
  if (GatewayAccount* current = Current(); matches(current)) return current;
  for (auto& account : slots_) {
    if (matches(account.get())) return account.get();
  }
  return nullptr;
}

void GatewayAccounts::DestroyAll() {
  for (auto& account : slots_) account.reset();
}

void GatewayAccounts::UnregisterForShutdown() {
  for (auto& account : slots_) {
    if (account) account->UnregisterForShutdown();
  }
}

bool GatewayAccounts::Idle() const {
  return std::none_of(slots_.begin(), slots_.end(),
                      [](const auto& account) { return account && account->attemptsLeft != 0; });
}

void GatewayAccounts::SendDueRegisters() {
  std::string configuredAddress;  // asked for once, and only when an account is due
  for (auto& account : slots_) {
    if (!account || account->address.empty()) continue;
    bool due = account->IsDue();
    // An account that does not register still learns its gateway's address:
    // a trunk that brings several calls at once is known by it.
    if (!due && account->attemptsLeft != 0) continue;
    if (configuredAddress.empty()) configuredAddress = settings_().localAddress;
    std::optional<GatewayRoute> route = KnownGatewayRoute(account->address, configuredAddress);
    if (!route) continue;
    if (due) {
      account->SendRegister(*route);
    } else if (route->failure == 0) {
      account->gatewayIp = route->gatewayIp;
    }
  }
}

}  // namespace talvenor
