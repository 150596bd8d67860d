#include "settings/options_logic.h"

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
  void SetAccounts(GatewayAccounts* accounts) { gateways_.SetAccounts(accounts); }

  AddressForm LoadAddress() override { return LoadAddressPage(); }
  Exchange StoreAddress(const AddressForm& form) override { return StoreAddressPage(form); }
  std::string StoredAddress() override { return StoredLocalAddress(); }
  std::vector<std::string> AddressChoices() override { return LocalAddressChoices(); }

  GatewayForm LoadGateways() override { return gateways_.Load(); }
  Exchange StoreGateways(const GatewayForm& form) override { return gateways_.Store(form); }
  GatewayForm ToggleRegistration(int row, const GatewayForm& form, Exchange& exchange) override {
    return gateways_.ToggleRegistration(row, form, exchange);
  }

  // Help on this platform is HTML: where the compiled help file is missing,
  // the file of the same name ending in ".html" stands in for it.
  std::string HelpFile() override {
    std::string path = Settings().HelpFilePath.Get();
    if (FileReadable(path) || !path.ends_with(".chm")) return path;
    return path.substr(0, path.size() - 4) + ".html";
  }

  RegisterForm LoadRegister() override { return LoadRegisterPage(); }
  Exchange StoreRegister(const RegisterForm& form) override { return StoreRegisterPage(form); }

  VoipForm LoadVoip() override { return LoadVoipPage(); }
  Exchange StoreVoip(const VoipForm& form) override { return StoreVoipPage(form); }
  void SilenceSliderMoved(int position) override { MoveSilenceSlider(position); }

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
  GatewaysPage gateways_;
};

ModulePages& Pages() {
  static ModulePages* pages = new ModulePages;  // used by dialogs until the process ends
  return *pages;
}

}  // namespace

OptionsPages& ModuleOptionsPages() { return Pages(); }

void SetOptionsAccounts(GatewayAccounts* accounts) { Pages().SetAccounts(accounts); }

}  // namespace talvenor
