#include "settings/gateways_page.h"

#include <string>
#include <vector>

#include "config/module_settings.h"
#include "registration/gateway_accounts.h"
#include "settings/field_checks.h"

namespace talvenor {

namespace {

// An account field taken from the Gateways page, stored once the page's
// checks are done.
struct GatewayChange {
  int row;
  std::string GatewayAccount::*field;
  std::string value;
};

}  // namespace

void GatewaysPage::SetAccounts(GatewayAccounts* accounts) {
  std::scoped_lock guard(accountsChoice_);
  accounts_ = accounts;
}

GatewayForm GatewaysPage::Load(const ModuleSettings& settings) {
  GatewayForm form;
  form.selected = settings.SelectedGateway;
  GatewayAccounts* accounts = Accounts();
  if (accounts == nullptr) return form;
  std::scoped_lock lock(accounts->Lock());
  for (int row = 0; row < kGatewayCount; ++row) {
    const GatewayAccount* account = (*accounts)[row].get();
    if (account == nullptr) continue;
    form.rows[row] = {account->address, account->prefix, account->callerId, account->ShowsRegistered()};
  }
  return form;
}

Exchange GatewaysPage::Store(ModuleSettings& settings, const GatewayForm& form) {
  if (form.selected >= 0 && form.selected < kGatewayCount) settings.SelectedGateway = form.selected;
  // Checked first and stored after, so that no message box is up while
  // ModuleLock is held; the fields before a refused one are stored.
  std::vector<GatewayChange> changes;
  FieldChecks checks;
  for (int row = 0; row < kGatewayCount && checks.Passed(); ++row) {
    const GatewayRow& fields = form.rows[row];
    if (checks.GatewayText(fields.address, kGatewayAddressLimit, kGatewayAddressEdit + row)) {
      changes.push_back({row, &GatewayAccount::address, WithoutBlanks(fields.address)});
    }
    if (checks.GatewayText(fields.callerId, kCallerIdLimit, kGatewayCallerIdEdit + row)) {
      changes.push_back({row, &GatewayAccount::callerId, WithoutBlanks(fields.callerId)});
    }
    if (checks.GatewayText(fields.prefix, 0, kGatewayPrefixEdit + row)) {
      changes.push_back({row, &GatewayAccount::prefix, fields.prefix});
    }
  }
  if (GatewayAccounts* accounts = Accounts()) {
    std::scoped_lock lock(accounts->Lock());
    for (const GatewayChange& change : changes) {
      if (GatewayAccount* account = (*accounts)[change.row].get()) account->*change.field = change.value;
    }
  }
  return checks.ShowRefusal();
}

GatewayForm GatewaysPage::ToggleRegistration(ModuleSettings& settings, int row, const GatewayForm& form,
                                             Exchange& exchange) {
  exchange = Store(settings, form);
  if (!exchange.ok) return form;
  GatewayAccounts* accounts = Accounts();
  if (accounts != nullptr && row >= 0 && row < kGatewayCount) {
    GatewayAccount::ToggleRegistration(accounts->Lock(), [accounts, row] { return (*accounts)[row].get(); });
  }
  return Load(settings);
}

GatewayAccounts* GatewaysPage::Accounts() {
  std::scoped_lock guard(accountsChoice_);
  return accounts_;
}

}  // namespace talvenor
