#include "settings/register_page.h"

#include <optional>

#include "config/module_settings.h"
#include "settings/field_checks.h"

namespace talvenor {

RegisterForm LoadRegisterPage(const ModuleSettings& settings) {
  return {settings.EnableRegistrations != 0, settings.AuthenticateRegistrations != 0,
          settings.AuthenticateInvites != 0, std::to_string(settings.DefaultExpiration)};
}

Exchange StoreRegisterPage(ModuleSettings& settings, const RegisterForm& form) {
  settings.EnableRegistrations = form.enable ? 1 : 0;
  settings.AuthenticateRegistrations = form.authenticateRegistrations ? 1 : 0;
  settings.AuthenticateInvites = form.authenticateInvites ? 1 : 0;
  FieldChecks checks;
  std::optional<uint32_t> expiration =
      checks.Integer(form.expiration, kShortestExpiration, kLongestExpiration, kExpirationEdit);
  if (!expiration) return checks.ShowRefusal();
  settings.DefaultExpiration = static_cast<uint16_t>(*expiration);
  return {};
}

}  // namespace talvenor
