#include "settings/win32/sip_credentials_dialog.h"

#include "settings/win32/dialog_controls.h"
#include "settings/win32/plugin_module.h"
#include "settings/win32/resource_ids.h"

namespace talvenor::view {

namespace {

constexpr INT_PTR kRegistered = 1;
constexpr INT_PTR kCancelled = 0;

}  // namespace

bool CSIPCredentials::Run(HWND owner) {
  INT_PTR result = DialogBoxParamW(PluginInstance(), MAKEINTRESOURCEW(IDD_SIP_CREDENTIALS), owner,
                                   &CSIPCredentials::DialogProc, reinterpret_cast<LPARAM>(this));
  return result == kRegistered;
}

INT_PTR CALLBACK CSIPCredentials::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CSIPCredentials*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    dialog->Load(window);
    SetFocus(GetDlgItem(window, kCredentialsUserIdEdit));
    return FALSE;  // the focus is set
  }
  auto* dialog = reinterpret_cast<CSIPCredentials*>(GetWindowLongPtrW(window, DWLP_USER));
  if (dialog == nullptr || message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
      dialog->Confirm(window);
      return TRUE;
    case IDCANCEL:
      EndDialog(window, kCancelled);
      return TRUE;
    default:
      return FALSE;
  }
}

void CSIPCredentials::Load(HWND window) {
  LimitText(window, kCredentialsUserIdEdit, kCredentialLimit);
  LimitText(window, kCredentialsPasswordEdit, kCredentialLimit);
  CredentialsForm form = page_.Load();
  SetControlText(window, IDC_CREDENTIALS_GATEWAY_EDIT, form.gateway);
  SetControlText(window, kCredentialsUserIdEdit, form.userId);
  SetControlText(window, kCredentialsPasswordEdit, form.password);
}

void CSIPCredentials::Confirm(HWND window) {
  CredentialsForm form;
  form.gateway = ControlText(window, IDC_CREDENTIALS_GATEWAY_EDIT);
  form.userId = ControlText(window, kCredentialsUserIdEdit);
  form.password = ControlText(window, kCredentialsPasswordEdit);
  Exchange exchange = page_.Store(form);
  if (!exchange.ok) {
    FocusControl(window, exchange.focus);
    return;
  }
  EndDialog(window, kRegistered);
}

}  // namespace talvenor::view
