// The SIP Address page over the module's settings.
#pragma once

#include <string>
#include <vector>

#include "settings/options_pages.h"

namespace talvenor {

struct ModuleSettings;

AddressForm LoadAddressPage(const ModuleSettings& settings);
// The switches change at once; the rest only when every field passes.
Exchange StoreAddressPage(ModuleSettings& settings, const AddressForm& form);
std::string StoredLocalAddress(const ModuleSettings& settings);
// The host name's addresses, offered in the address box.
std::vector<std::string> LocalAddressChoices(const ModuleSettings& settings);

}  // namespace talvenor
