#include "settings/credentials_page.h"

#include "platform/message_box.h"
#include "settings/field_checks.h"

namespace talvenor {

CredentialsLogic::CredentialsLogic(std::string gateway, std::string userId, std::string password)
    : gateway_(std::move(gateway)), userId_(std::move(userId)), password_(std::move(password)) {}

CredentialsForm CredentialsLogic::Load() { return {gateway_, userId_, password_}; }

Exchange CredentialsLogic::Store(const CredentialsForm& form) {
  FieldChecks checks;
  std::string userId = WithoutBlanks(form.userId);
  if (!checks.GatewayText(form.userId, kCredentialLimit, kCredentialsUserIdEdit)) return checks.ShowRefusal();
  if (userId.empty()) {
    ShowMessage(1013, MessageIcon::Warning);
    return {false, kCredentialsUserIdEdit};
  }
  std::string password = WithoutBlanks(form.password);
  if (!checks.GatewayText(form.password, kCredentialLimit, kCredentialsPasswordEdit)) return checks.ShowRefusal();
  if (password.empty()) {
    ShowMessage(1013, MessageIcon::Warning);
    return {false, kCredentialsPasswordEdit};
  }
  userId_ = std::move(userId);
  password_ = std::move(password);
  return {};
}

}  // namespace talvenor
