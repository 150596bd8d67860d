#include "settings/options_logic.h"

#include <atomic>

#include "host/ccon.h"
#include "config/module_settings.h"
#include "platform/message_box.h"
#include "platform/private_file.h"
#include "settings/address_page.h"
#include "settings/gateways_page.h"
#include "settings/register_page.h"
#include "settings/voip_page.h"

namespace talvenor {

namespace {

// The sheet: each page's logic lives in its own file; the help and the
// lists belong to the sheet as a whole.
class ModulePages final : public OptionsPages {
public:
  void SetModule(GatewayAccounts& accounts, ModuleSettings& settings) {
    gateways_.SetAccounts(&accounts);
    settings_ = &settings;
  }

  AddressForm LoadAddress() override { return LoadAddressPage(Values()); }
  Exchange StoreAddress(const AddressForm& form) override { return StoreAddressPage(Values(), form); }
  std::string StoredAddress() override { return StoredLocalAddress(Values()); }
  std::vector<std::string> AddressChoices() override { return LocalAddressChoices(Values()); }

  GatewayForm LoadGateways() override { return gateways_.Load(Values()); }
  Exchange StoreGateways(const GatewayForm& form) override { return gateways_.Store(Values(), form); }
  GatewayForm ToggleRegistration(int row, const GatewayForm& form, Exchange& exchange) override {
    return gateways_.ToggleRegistration(Values(), row, form, exchange);
  }

  // Help on this platform is HTML: where the compiled help file is missing,
  // the file of the same name ending in ".html" stands in for it.
  std::string HelpFile() override {
    std::string path = Values().HelpFilePath.Get();
    if (FileReadable(path) || !path.ends_with(".chm")) return path;
    return path.substr(0, path.size() - 4) + ".html";
  }

  RegisterForm LoadRegister() override { return LoadRegisterPage(Values()); }
  Exchange StoreRegister(const RegisterForm& form) override { return StoreRegisterPage(Values(), form); }

  VoipForm LoadVoip() override { return LoadVoipPage(Values()); }
  Exchange StoreVoip(const VoipForm& form) override { return StoreVoipPage(Values(), form); }
  void SilenceSliderMoved(int position) override { MoveSilenceSlider(Values(), position); }

  void OpenList(ListFile list) override {
    switch (list) {
      case ListFile::Log:
        CCon::OnOpenTextFile("SIP-LOG", "DateTime\tIPAddress:port\t[BANNED]\n");
        break;
      case ListFile::Ban:
        CCon::OnOpenTextFile("SIP-BAN", "IPAddressPrefix\tDateTime\n");
        break;
      case ListFile::Registrations:
        CCon::OnOpenTextFile("SIP-REG",
                             "user@address:port\t[PIN]\t[RegTime]\t[Expires]\t[DateTime]\t[Name]\t[User-Agent]\n");
        break;
      case ListFile::Pins:
        CCon::OnOpenTextFile("SIP-PIN", "UserID\tPassword\n");
        break;
    }
  }

  void ShowToolkitMessage(const std::string& text) override { talvenor::ShowToolkitMessage(text); }

private:
  // The module's settings; handed over before the pages are first shown.
  ModuleSettings& Values() const { return *settings_.load(); }

  std::atomic<ModuleSettings*> settings_{nullptr};
  GatewaysPage gateways_;
};

ModulePages& Pages() {
  static ModulePages* pages = new ModulePages;  // used by dialogs until the process ends
  return *pages;
}

}  // namespace

OptionsPages& ModuleOptionsPages() { return Pages(); }

void SetOptionsModule(GatewayAccounts& accounts, ModuleSettings& settings) { Pages().SetModule(accounts, settings); }

}  // namespace talvenor
