#include "registration/gateway_accounts.h"

#include <algorithm>

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

DueRegistrations GatewayAccounts::FindDue() const {
  DueRegistrations due;
  for (int index = 0; index < kGatewayCount; ++index) {
    const auto& account = slots_[index];
    if (account && account->IsDue()) due[index] = {true, account->address, {}};
  }
  return due;
}

void GatewayAccounts::LookUpRoutes(DueRegistrations& due) const {
  std::string configuredAddress = settings_().localAddress;
  for (DueRegistration& registration : due) {
    if (registration.due) registration.route = FindGatewayRoute(registration.address, configuredAddress);
  }
}

void GatewayAccounts::SendDue(const DueRegistrations& due) {
  for (int index = 0; index < kGatewayCount; ++index) {
    const auto& account = slots_[index];
    if (account && due[index].due && account->address == due[index].address) {
      account->SendRegister(due[index].route);
    }
  }
}

}  // namespace talvenor
