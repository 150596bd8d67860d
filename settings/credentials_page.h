// The "SIP Credentials" dialog's logic.
#pragma once

#include <string>

#include "settings/options_pages.h"

namespace talvenor {

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
