#include "settings/address_settings.h"

#include "config/module_settings.h"
#include "platform/profile_store.h"
#include "platform/resolver.h"
#include "settings/field_checks.h"
#include "settings/profile_values.h"
#include "sip/compose.h"

namespace talvenor {

void LoadAddressSettings(ModuleSettings& settings) {
  const ProfileStore& profile = ModuleProfile();
  settings.HostName.Set(LocalHostName());
  std::string hostName = settings.HostName.Get();
  // The page refuses quotes and backslashes in the name; a profile edited by
  // hand loads without them rather than break every call's From line.
  settings.DisplayName.Set(WithoutDisplayNameQuotes(profile.GetString("Name", hostName)));
  std::string address = profile.GetString("Address", hostName);
  settings.LocalAddress.Set(address.empty() ? hostName : address);
  std::string port = profile.GetString("Port");
  if (port.empty()) return;
  std::vector<uint32_t> values = ScanUnsignedList(port, 3);
  if (values.size() > 0) settings.LogEnabled = values[0];
  if (values.size() > 1) settings.BanEnabled = values[1];
  // Port 0 would bind anywhere while announcing ":0"; one beyond 16 bits
  // would be cut to another port. Either loads as the default.
  if (values.size() > 2) settings.SipPort = (values[2] == 0 || values[2] > 65535) ? kDefaultSipPort : static_cast<uint16_t>(values[2]);
}

bool SaveAddressSettings(const ModuleSettings& settings) {
  const ProfileStore& profile = ModuleProfile();
  bool ok = profile.WriteString("Port", FormatUnsignedList({settings.LogEnabled, settings.BanEnabled, settings.SipPort}));
  ok = profile.WriteString("Name", settings.DisplayName.Get()) && ok;
  return profile.WriteString("Address", settings.LocalAddress.Get()) && ok;
}

}  // namespace talvenor
