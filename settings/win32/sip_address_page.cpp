#include "settings/win32/sip_address_page.h"

#include "settings/win32/dialog_controls.h"
#include "settings/win32/resource_ids.h"
#include "settings/win32/win32_text.h"

namespace talvenor::view {

CSIPAddress::CSIPAddress(OptionsPages& pages) : OptionsPageView(pages, IDD_SIP_ADDRESS) {}

void CSIPAddress::Prepare() {
  LimitText(Window(), kAddressCombo, kAddressTextLimit);
  LimitText(Window(), kDisplayNameEdit, kDisplayNameLimit);
}

void CSIPAddress::Load() {
  AddressForm form = pages_.LoadAddress();
  SetControlText(Window(), kAddressCombo, form.address);
  SetControlText(Window(), kSipPortEdit, form.port);
  SetControlText(Window(), kDisplayNameEdit, form.name);
  SetTicked(Window(), kLogCheck, form.log);
  SetTicked(Window(), kBanCheck, form.ban);
  UpdateListButtons();
}

Exchange CSIPAddress::Store() {
  AddressForm form;
  form.address = ControlText(Window(), kAddressCombo);
  form.port = ControlText(Window(), kSipPortEdit);
  form.name = ControlText(Window(), kDisplayNameEdit);
  form.log = IsTicked(Window(), kLogCheck);
  form.ban = IsTicked(Window(), kBanCheck);
  return pages_.StoreAddress(form);
}

bool CSIPAddress::Command(int id, int code) {
  switch (id) {
    case kAddressCombo:
      if (code != CBN_DROPDOWN) return false;
      RefillAddressList();
      return true;
    case kLogCheck:
    case kBanCheck:
      // The buttons follow the boxes at once; the settings change only at store.
      if (code != BN_CLICKED) return false;
      UpdateListButtons();
      return true;
    case kLogListButton:
    case kBanListButton:
      if (code != BN_CLICKED) return false;
      pages_.OpenList(id == kLogListButton ? ListFile::Log : ListFile::Ban);
      return true;
    default:
      return false;
  }
}

void CSIPAddress::RefillAddressList() {
  std::string stored = pages_.StoredAddress();
  std::vector<std::string> choices = pages_.AddressChoices();
  HWND combo = GetDlgItem(Window(), kAddressCombo);
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  for (const std::string& choice : choices) {
    std::wstring item = ToWide(choice);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  }
  // What was typed but not stored gives way to the stored address.
  SetControlText(Window(), kAddressCombo, stored);
}

void CSIPAddress::UpdateListButtons() {
  EnableControl(Window(), kLogListButton, IsTicked(Window(), kLogCheck));
  EnableControl(Window(), kBanListButton, IsTicked(Window(), kBanCheck));
}

}  // namespace talvenor::view
