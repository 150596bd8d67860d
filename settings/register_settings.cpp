#include "settings/register_settings.h"

#include "config/module_settings.h"
#include "platform/profile_store.h"
#include "settings/field_checks.h"
#include "settings/profile_values.h"

namespace talvenor {

void LoadRegisterSettings(ModuleSettings& settings) {
  std::string text = ModuleProfile().GetString("Register");
  if (text.empty()) return;
  std::vector<uint32_t> values = ScanUnsignedList(text, 4);
  if (values.size() > 0) settings.EnableRegistrations = values[0];
  if (values.size() > 1) settings.AuthenticateRegistrations = values[1];
  if (values.size() > 2) settings.AuthenticateInvites = values[2];
  // A lifetime outside the page's limits (0 would have the registrar grant
  // nothing while answering 200) loads as the default.
  if (values.size() > 3) {
    bool valid = values[3] >= kShortestExpiration && values[3] <= kLongestExpiration;
    settings.DefaultExpiration = valid ? static_cast<uint16_t>(values[3]) : kDefaultExpiration;
  }
}

bool SaveRegisterSettings(const ModuleSettings& settings) {
  return ModuleProfile().WriteString("Register",
                              FormatUnsignedList({settings.EnableRegistrations, settings.AuthenticateRegistrations,
                                                  settings.AuthenticateInvites, settings.DefaultExpiration}));
}

}  // namespace talvenor
