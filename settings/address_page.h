// The SIP Address page over the live settings.
#pragma once

#include <string>
#include <vector>

#include "settings/options_pages.h"

namespace talvenor {

AddressForm LoadAddressPage();
// The switches change at once; the rest only when every field passes.
Exchange StoreAddressPage(const AddressForm& form);
std::string StoredLocalAddress();
// The host name's addresses, offered in the address box.
std::vector<std::string> LocalAddressChoices();

}  // namespace talvenor
