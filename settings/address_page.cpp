#include "settings/address_page.h"

#include <optional>

#include "config/module_settings.h"
#include "platform/message_box.h"
#include "platform/resolver.h"
#include "settings/field_checks.h"

namespace talvenor {

AddressForm LoadAddressPage(const ModuleSettings& settings) {
  return {settings.LocalAddress.Get(), std::to_string(settings.SipPort), settings.DisplayName.Get(),
          settings.LogEnabled != 0, settings.BanEnabled != 0};
}

Exchange StoreAddressPage(ModuleSettings& settings, const AddressForm& form) {
  // The switches change at once, whatever the rest of the page holds.
  settings.LogEnabled = form.log ? 1 : 0;
  settings.BanEnabled = form.ban ? 1 : 0;
  FieldChecks checks;
  std::string address = WithoutBlanks(form.address);
  if (!checks.Length(form.address, kAddressTextLimit, kAddressCombo)) return checks.ShowRefusal();
  if (address.empty()) {
    ShowMessage(1011, MessageIcon::Warning);
    return {false, kAddressCombo};
  }
  // Port 0 would bind anywhere while every message named ":0".
  std::optional<uint32_t> port = checks.Integer(form.port, 1, 65535, kSipPortEdit);
  if (!port || !checks.DisplayNameText(form.name, kDisplayNameLimit, kDisplayNameEdit)) return checks.ShowRefusal();
  if (*port != settings.SipPort) ShowMessage(1012, MessageIcon::Information);
  settings.LocalAddress.Set(address);
  settings.SipPort = static_cast<uint16_t>(*port);
  settings.DisplayName.Set(WithoutBlanks(form.name));
  return {};
}

std::string StoredLocalAddress(const ModuleSettings& settings) { return settings.LocalAddress.Get(); }

std::vector<std::string> LocalAddressChoices(const ModuleSettings& settings) {
  return ResolveAllIpv4(settings.HostName.Get());
}

}  // namespace talvenor
