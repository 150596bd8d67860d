// The Registration page over the live settings.
#pragma once

#include "settings/options_pages.h"

namespace talvenor {

RegisterForm LoadRegisterPage();
// The switches change at once; the expiration only when it passes.
Exchange StoreRegisterPage(const RegisterForm& form);

}  // namespace talvenor
