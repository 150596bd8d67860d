// The Registration page over the module's settings.
#pragma once

#include "settings/options_pages.h"

namespace talvenor {

struct ModuleSettings;

RegisterForm LoadRegisterPage(const ModuleSettings& settings);
// The switches change at once; the expiration only when it passes.
Exchange StoreRegisterPage(ModuleSettings& settings, const RegisterForm& form);

}  // namespace talvenor
