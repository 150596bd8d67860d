#include "settings/win32/sip_register_page.h"

#include "settings/win32/dialog_controls.h"
#include "settings/win32/resource_ids.h"

namespace talvenor::view {

CSIPRegister::CSIPRegister(OptionsPages& pages) : OptionsPageView(pages, IDD_SIP_REGISTER) {}

void CSIPRegister::Load() {
  RegisterForm form = pages_.LoadRegister();
  SetTicked(Window(), IDC_ENABLE_REGISTRATIONS_CHECK, form.enable);
  SetTicked(Window(), IDC_AUTHENTICATE_REGISTRATIONS_CHECK, form.authenticateRegistrations);
  SetTicked(Window(), IDC_AUTHENTICATE_INVITES_CHECK, form.authenticateInvites);
  SetControlText(Window(), kExpirationEdit, form.expiration);
  UpdateEnables();
}

Exchange CSIPRegister::Store() {
  RegisterForm form;
  form.enable = IsTicked(Window(), IDC_ENABLE_REGISTRATIONS_CHECK);
  form.authenticateRegistrations = IsTicked(Window(), IDC_AUTHENTICATE_REGISTRATIONS_CHECK);
  form.authenticateInvites = IsTicked(Window(), IDC_AUTHENTICATE_INVITES_CHECK);
  form.expiration = ControlText(Window(), kExpirationEdit);
  return pages_.StoreRegister(form);
}

bool CSIPRegister::Command(int id, int code) {
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_ENABLE_REGISTRATIONS_CHECK:
    case IDC_AUTHENTICATE_REGISTRATIONS_CHECK:
    case IDC_AUTHENTICATE_INVITES_CHECK:
      UpdateEnables();
      return true;
    case IDC_REGISTRATIONS_LIST_BUTTON:
      pages_.OpenList(ListFile::Registrations);
      return true;
    case IDC_PIN_LIST_BUTTON:
      pages_.OpenList(ListFile::Pins);
      return true;
    default:
      return false;
  }
}

void CSIPRegister::UpdateEnables() {
  RegisterEnables enables = RegisterPageEnables(IsTicked(Window(), IDC_ENABLE_REGISTRATIONS_CHECK),
                                                IsTicked(Window(), IDC_AUTHENTICATE_REGISTRATIONS_CHECK),
                                                IsTicked(Window(), IDC_AUTHENTICATE_INVITES_CHECK));
  EnableControl(Window(), IDC_AUTHENTICATE_REGISTRATIONS_CHECK, enables.authenticateRegistrations);
  EnableControl(Window(), IDC_PIN_LIST_BUTTON, enables.pinList);
}

}  // namespace talvenor::view
