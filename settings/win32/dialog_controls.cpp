#include "settings/win32/dialog_controls.h"

#include "settings/win32/win32_text.h"

namespace talvenor::view {

std::string ControlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return {};
  int length = GetWindowTextLengthW(control);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(control, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return FromWide(text);
}

void SetControlText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextW(dialog, id, ToWide(text).c_str());
}

bool IsTicked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SetTicked(HWND dialog, int id, bool ticked) { CheckDlgButton(dialog, id, ticked ? BST_CHECKED : BST_UNCHECKED); }

void EnableControl(HWND dialog, int id, bool enabled) {
  if (HWND control = GetDlgItem(dialog, id)) EnableWindow(control, enabled ? TRUE : FALSE);
}

void LimitText(HWND dialog, int id, int limit) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return;
  wchar_t className[16] = {};
  GetClassNameW(control, className, static_cast<int>(sizeof className / sizeof className[0]));
  const UINT message = lstrcmpiW(className, L"ComboBox") == 0 ? CB_LIMITTEXT : EM_LIMITTEXT;
  SendMessageW(control, message, static_cast<WPARAM>(limit), 0);
}

void FocusControl(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return;
  PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

}  // namespace talvenor::view
