#include "settings/options_logic.h"


#include <algorithm>
#include <optional>

#include "host/ccon.h"
#include "config/module_settings.h"
#include "platform/message_box.h"
#include "platform/private_file.h"
#include "platform/resolver.h"
#include "registration/gateway_accounts.h"
#include "settings/field_checks.h"

namespace talvenor {

namespace {

// An account field taken from the Gateways page, stored once the page's
// checks are done.
struct GatewayChange {
  int row;
  std::string GatewayAccount::*field;
  std::string value;
};

class ModulePages final : public OptionsPages {
public:
  void SetAccounts(GatewayAccounts* accounts) {
    std::scoped_lock guard(accountsChoice_);
    accounts_ = accounts;
  }

  AddressForm LoadAddress() override {
    ModuleSettings& settings = Settings();
    return {settings.LocalAddress.Get(), std::to_string(settings.SipPort), settings.DisplayName.Get(),
            settings.LogEnabled != 0, settings.BanEnabled != 0};
  }

  Exchange StoreAddress(const AddressForm& form) override {
    ModuleSettings& settings = Settings();
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

  std::string StoredAddress() override { return Settings().LocalAddress.Get(); }

  std::vector<std::string> AddressChoices() override { return ResolveAllIpv4(Settings().HostName.Get()); }

  GatewayForm LoadGateways() override {
    GatewayForm form;
    form.selected = Settings().SelectedGateway;
    GatewayAccounts* accounts = Accounts();
    if (accounts == nullptr) return form;
    std::scoped_lock lock(accounts->Lock());
    for (int row = 0; row < kGatewayCount; ++row) {
      const GatewayAccount* account = (*accounts)[row].get();
      if (account == nullptr) continue;
      form.rows[row] = {account->address, account->prefix, account->callerId, account->ShowsRegistered()};
    }
    return form;
  }

  Exchange StoreGateways(const GatewayForm& form) override {
    if (form.selected >= 0 && form.selected < kGatewayCount) Settings().SelectedGateway = form.selected;
    // Checked first and stored after, so that no message box is up while
    // ModuleLock is held; the fields before a refused one are stored.
    std::vector<GatewayChange> changes;
    FieldChecks checks;
    for (int row = 0; row < kGatewayCount && checks.Passed(); ++row) {
      const GatewayRow& fields = form.rows[row];
      if (checks.GatewayText(fields.address, kGatewayAddressLimit, kGatewayAddressEdit + row)) {
        changes.push_back({row, &GatewayAccount::address, WithoutBlanks(fields.address)});
      }
      if (checks.GatewayText(fields.callerId, kCallerIdLimit, kGatewayCallerIdEdit + row)) {
        changes.push_back({row, &GatewayAccount::callerId, WithoutBlanks(fields.callerId)});
      }
      if (checks.GatewayText(fields.prefix, 0, kGatewayPrefixEdit + row)) {
        changes.push_back({row, &GatewayAccount::prefix, fields.prefix});
      }
    }
    if (GatewayAccounts* accounts = Accounts()) {
      std::scoped_lock lock(accounts->Lock());
      for (const GatewayChange& change : changes) {
        if (GatewayAccount* account = (*accounts)[change.row].get()) account->*change.field = change.value;
      }
    }
    return checks.ShowRefusal();
  }

  GatewayForm ToggleRegistration(int row, const GatewayForm& form, Exchange& exchange) override {
    exchange = StoreGateways(form);
    if (!exchange.ok) return form;
    GatewayAccounts* accounts = Accounts();
    if (accounts != nullptr && row >= 0 && row < kGatewayCount) {
      GatewayAccount::ToggleRegistration(accounts->Lock(), [accounts, row] { return (*accounts)[row].get(); });
    }
    return LoadGateways();
  }

  // Help on this platform is HTML: where the compiled help file is missing,
  // the file of the same name ending in ".html" stands in for it.
  std::string HelpFile() override {
    std::string path = Settings().HelpFilePath.Get();
    if (FileReadable(path) || !path.ends_with(".chm")) return path;
    return path.substr(0, path.size() - 4) + ".html";
  }

  RegisterForm LoadRegister() override {
    ModuleSettings& settings = Settings();
    return {settings.EnableRegistrations != 0, settings.AuthenticateRegistrations != 0,
            settings.AuthenticateInvites != 0, std::to_string(settings.DefaultExpiration)};
  }

  Exchange StoreRegister(const RegisterForm& form) override {
    ModuleSettings& settings = Settings();
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

  VoipForm LoadVoip() override {
    ModuleSettings& settings = Settings();
    VoipForm form;
    form.pcmu = settings.EnabledPayloadTypes[0] != 0;
    form.pcma = settings.EnabledPayloadTypes[8] != 0;
    form.gsm = settings.EnabledPayloadTypes[3] != 0;
    form.g729 = settings.EnabledPayloadTypes[18] != 0;
    form.g729Available = settings.G729Available != 0;
    form.silence = static_cast<int>(std::min<uint32_t>(settings.SilenceThreshold, kSilenceSliderMax));
    form.basePort = std::to_string(settings.RtpBasePort);
    return form;
  }

  Exchange StoreVoip(const VoipForm& form) override {
    ModuleSettings& settings = Settings();
    settings.EnabledPayloadTypes[0] = form.pcmu ? 1 : 0;
    settings.EnabledPayloadTypes[8] = form.pcma ? 1 : 0;
    settings.EnabledPayloadTypes[3] = form.gsm ? 1 : 0;
    settings.EnabledPayloadTypes[18] = form.g729 && settings.G729Available ? 1 : 0;
    FieldChecks checks;
    // Port 0 would offer "m=audio 0", a refused stream: the lowest base is 2.
    std::optional<uint32_t> port = checks.Integer(form.basePort, 2, kHighestRtpBasePort, kRtpBasePortEdit);
    if (!port) return checks.ShowRefusal();
    if (*port % 2 != 0) {
      ShowMessage(1008, MessageIcon::Warning);
      return {false, kRtpBasePortEdit};
    }
    settings.RtpBasePort = static_cast<uint16_t>(*port);
    return {};
  }

  void SilenceSliderMoved(int position) override {
    Settings().SilenceThreshold = static_cast<uint32_t>(std::clamp(position, 0, kSilenceSliderMax));
  }

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
  GatewayAccounts* Accounts() {
    std::scoped_lock guard(accountsChoice_);
    return accounts_;
  }

  std::mutex accountsChoice_;
  GatewayAccounts* accounts_ = nullptr;
};

ModulePages& Pages() {
  static ModulePages* pages = new ModulePages;  // used by dialogs until the process ends
  return *pages;
}

}  // namespace

OptionsPages& ModuleOptionsPages() { return Pages(); }

void SetOptionsAccounts(GatewayAccounts* accounts) { Pages().SetAccounts(accounts); }

CredentialsLogic::CredentialsLogic(std::string gateway, std::string userId, std::string password)
    : gateway_(std::move(gateway)), userId_(std::move(userId)), password_(std::move(password)) {}

CredentialsForm CredentialsLogic::Load() { return {gateway_, userId_, password_}; }

Exchange CredentialsLogic::Store(const CredentialsForm& form) {
  FieldChecks checks;
  std::string userId = WithoutBlanks(form.userId);
  if (!checks.GatewayText(form.userId, kCredentialLimit, kCredentialsUserIdEdit)) return checks.ShowRefusal();
  if (userId.empty()) {
    ShowMessage(1013, MessageIcon::Warning);
    return {false, kCredentialsUserIdEdit};
  }
  std::string password = WithoutBlanks(form.password);
  if (!checks.GatewayText(form.password, kCredentialLimit, kCredentialsPasswordEdit)) return checks.ShowRefusal();
  if (password.empty()) {
    ShowMessage(1013, MessageIcon::Warning);
    return {false, kCredentialsPasswordEdit};
  }
  userId_ = std::move(userId);
  password_ = std::move(password);
  return {};
}

}  // namespace talvenor
