// The Gateways page over the module's settings and its gateway accounts.
#pragma once

#include <mutex>

#include "settings/options_pages.h"

namespace talvenor {

class GatewayAccounts;
struct ModuleSettings;

class GatewaysPage {
public:
  // The accounts shown (the module's); the page takes their lock for every
  // account it reads or changes. None: the rows stay empty.
  void SetAccounts(GatewayAccounts* accounts);
  GatewayForm Load(const ModuleSettings& settings);
  Exchange Store(ModuleSettings& settings, const GatewayForm& form);
  GatewayForm ToggleRegistration(ModuleSettings& settings, int row, const GatewayForm& form, Exchange& exchange);

private:
  GatewayAccounts* Accounts();

  std::mutex accountsChoice_;
  GatewayAccounts* accounts_ = nullptr;
};

}  // namespace talvenor
