// The module's side of the "SIP Options" dialogs: the pages' logic over the
// live settings and the gateway accounts, free of any dialog toolkit.
#pragma once

#include <mutex>

#include "settings/options_pages.h"

namespace talvenor {

class GatewayAccount;

// The pages over the module's settings; one object for the process.
OptionsPages& ModuleOptionsPages();
// The lock that guards the gateway accounts (ModuleLock of the running
// module); the pages take it for every account they read or change. Null
// goes back to a lock of the pages' own (no module running).
void SetOptionsAccountsLock(std::recursive_mutex* lock);

// The credentials dialog's logic for one account: offers the user id (or
// the caller id when there is none) and the password, and keeps what the
// user confirms until the caller stores it under ModuleLock.
class CredentialsLogic final : public CredentialsPage {
public:
  CredentialsLogic(std::string gateway, std::string userId, std::string password);
  CredentialsForm Load() override;
  Exchange Store(const CredentialsForm& form) override;
  const std::string& UserId() const { return userId_; }
  const std::string& Password() const { return password_; }

private:
  std::string gateway_;
  std::string userId_;
  std::string password_;
};

}  // namespace talvenor
