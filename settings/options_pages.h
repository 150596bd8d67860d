// The "SIP Options" pages as a dialog toolkit sees them. The module keeps the
// pages' logic (data exchange both ways, validation, enable rules, what
// changes at once); the dialogs plugin is a thin view over these interfaces.
// The plugin is a library of its own that links none of the module's
// symbols, so everything it calls is virtual or inline.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace talvenor {

// Control ids: the view puts the focus on the control a failed exchange names.
enum ControlId : int {
  kNoControl = 0,
  kAddressCombo = 34601,
  kSipPortEdit = 34602,
  kDisplayNameEdit = 34603,
  kLogCheck = 34604,
  kBanCheck = 34605,
  kLogListButton = 34606,
  kBanListButton = 34607,
  // Gateways page: row r's fields are these plus r.
  kGatewayAddressEdit = 34510,
  kGatewayPrefixEdit = 34520,
  kGatewayCallerIdEdit = 34530,
  kGatewayRegisteredCheck = 34540,
  kRechargeButton = 34500,
  kExpirationEdit = 34701,
  kPcmuCheck = 34801,
  kPcmaCheck = 34802,
  kGsmCheck = 34803,
  kG729Check = 34804,
  kRtpBasePortEdit = 34805,
  kSilenceSlider = 34806,
  kCredentialsUserIdEdit = 34901,
  kCredentialsPasswordEdit = 34902,
};

// How a store direction ended: every field taken, or stopped at `focus`
// after the message that says why was shown (the page stays open there).
struct Exchange {
  bool ok = true;
  int focus = kNoControl;
};

// The help topic the recharge button opens: a context number in the
// compiled help (the button's id above the 0x20000 of button topics), the
// same number as the section's anchor in the HTML help that stands in for it.
inline constexpr int kRechargeHelpTopic = 0x20000 + kRechargeButton;

inline constexpr int kAddressTextLimit = 40;
inline constexpr int kDisplayNameLimit = 40;
inline constexpr int kGatewayAddressLimit = 40;
inline constexpr int kCallerIdLimit = 16;
inline constexpr int kCredentialLimit = 16;
inline constexpr int kSilenceSliderMax = 1036;

struct AddressForm {
  std::string address;  // combo box text
  std::string port;     // edit text
  std::string name;
  bool log = false;
  bool ban = false;
};

struct GatewayRow {
  std::string address;
  std::string prefix;
  std::string callerId;
  bool registered = false;  // the R box; shown, never stored
};

struct GatewayForm {
  int selected = 0;
  std::array<GatewayRow, 3> rows;
};

struct RegisterForm {
  bool enable = false;
  bool authenticateRegistrations = false;
  bool authenticateInvites = false;
  std::string expiration;
};

struct VoipForm {
  bool pcmu = false;
  bool pcma = false;
  bool gsm = false;
  bool g729 = false;
  bool g729Available = false;  // the G.729 box is enabled only then
  int silence = 0;             // slider position, 0 to kSilenceSliderMax
  std::string basePort;
};

struct CredentialsForm {
  std::string gateway;  // shown read-only
  std::string userId;
  std::string password;
};

// The lists the pages' buttons open in the host.
enum class ListFile { Log, Ban, Registrations, Pins };

// Enable rules of the SIP Register page, from the boxes as ticked now.
struct RegisterEnables {
  bool authenticateRegistrations = false;
  bool pinList = false;
};
inline RegisterEnables RegisterPageEnables(bool enable, bool authenticateRegistrations, bool authenticateInvites) {
  return {enable, (enable && authenticateRegistrations) || authenticateInvites};
}

// The four pages. Load* fill a page from the settings; Store* take it back,
// showing the module's or the toolkit's message for the first field that is
// refused. Calls come on the dialog's thread.
class OptionsPages {
public:
  virtual AddressForm LoadAddress() = 0;
  virtual Exchange StoreAddress(const AddressForm& form) = 0;
  // Opening the address drop-down: the stored address for the combo box
  // text, and the host name's IPv4 addresses for its list.
  virtual std::string StoredAddress() = 0;
  virtual std::vector<std::string> AddressChoices() = 0;

  virtual GatewayForm LoadGateways() = 0;
  virtual Exchange StoreGateways(const GatewayForm& form) = 0;
  // The R box of `row`: stores the page, starts or stops the account's
  // registration (the credentials dialog may be shown meanwhile) and
  // returns the page loaded again. A refused store returns `form` as it was
  // with `exchange` telling where.
  virtual GatewayForm ToggleRegistration(int row, const GatewayForm& form, Exchange& exchange) = 0;
  // The recharge button's help file; the view opens it at
  // kRechargeHelpTopic and shows "Failed to launch help." when it cannot.
  virtual std::string HelpFile() = 0;

  virtual RegisterForm LoadRegister() = 0;
  virtual Exchange StoreRegister(const RegisterForm& form) = 0;

  virtual VoipForm LoadVoip() = 0;
  virtual Exchange StoreVoip(const VoipForm& form) = 0;
  // Every slider move changes the threshold at once, even if the sheet is
  // cancelled later.
  virtual void SilenceSliderMoved(int position) = 0;

  // The list buttons: the host shows the list file.
  virtual void OpenList(ListFile list) = 0;
  // A message of the toolkit's own ("Failed to launch help."), shown the way
  // the module shows its messages.
  virtual void ShowToolkitMessage(const std::string& text) = 0;

protected:
  ~OptionsPages() = default;
};

// The "SIP Credentials" dialog of one gateway account.
class CredentialsPage {
public:
  virtual CredentialsForm Load() = 0;
  // Takes the user id and password; 1013 when either is empty.
  virtual Exchange Store(const CredentialsForm& form) = 0;

protected:
  ~CredentialsPage() = default;
};

// What the dialogs plugin offers the module: "TalvenorOptionsPlugin" returns
// it (extern "C", no arguments), or null when the plugin cannot work here.
class OptionsPlugin {
public:
  // Runs the "SIP Options" sheet modally on the caller's thread (or on the
  // thread of the host's QApplication): 1 for OK, 0 for Cancel, -1 when no
  // dialog can be shown here, with the reason in `why`.
  virtual int RunSheet(OptionsPages& pages, std::string& why) = 0;
  // Closes an open sheet as Cancel would; from any thread, returns at once.
  virtual void CloseSheet() = 0;
  // The credentials dialog, modal; true for "Register". Called from inside
  // RunSheet (the R box).
  virtual bool AskCredentials(CredentialsPage& page) = 0;
  // Shows a message box when a dialog toolkit is running: at once on its
  // thread, posted to it from any other thread. False when none is running
  // and the caller must show it some other way.
  virtual bool ShowMessage(const std::string& text, int icon) = 0;

protected:
  ~OptionsPlugin() = default;
};

using OptionsPluginEntry = OptionsPlugin* (*)();
inline constexpr const char* kOptionsPluginEntry = "TalvenorOptionsPlugin";
#ifdef _WIN32
inline constexpr const char* kOptionsPluginFile = "talvenor-options.dll";
#else
inline constexpr const char* kOptionsPluginFile = "libtalvenor-options.so";
#endif

}  // namespace talvenor
