#include "settings/win32/options_page_view.h"

#include "settings/win32/dialog_controls.h"
#include "settings/win32/plugin_module.h"

namespace talvenor::view {

OptionsPageView::OptionsPageView(OptionsPages& pages, int templateId) : pages_(pages), templateId_(templateId) {}

PROPSHEETPAGEW OptionsPageView::Describe() {
  PROPSHEETPAGEW page{};
  page.dwSize = sizeof page;
  page.dwFlags = PSP_DEFAULT;
  page.hInstance = PluginInstance();
  page.pszTemplate = MAKEINTRESOURCEW(templateId_);
  page.pfnDlgProc = &OptionsPageView::DialogProc;
  page.lParam = reinterpret_cast<LPARAM>(this);
  return page;
}

INT_PTR CALLBACK OptionsPageView::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    // The sheet passes its copy of the page's description.
    const auto* description = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
    auto* view = reinterpret_cast<OptionsPageView*>(description->lParam);
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(view));
    view->window_ = window;
    view->Prepare();
    view->Load();
    return TRUE;
  }
  auto* view = reinterpret_cast<OptionsPageView*>(GetWindowLongPtrW(window, DWLP_USER));
  if (view == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    view->window_ = nullptr;
    return FALSE;
  }
  return view->Handle(message, wParam, lParam);
}

INT_PTR OptionsPageView::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY:
      return Notified(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
      return Command(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_HSCROLL:
      return lParam != 0 && Scrolled(reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    case WM_TIMER:
      return Timer(wParam) ? TRUE : FALSE;
    default:
      return FALSE;
  }
}

INT_PTR OptionsPageView::Notified(const NMHDR& header) {
  switch (header.code) {
    case PSN_SETACTIVE:
      storedSinceActive_ = false;
      Activated();
      return Answer(0);
    case PSN_KILLACTIVE:
      // Leaving the page, or OK: the sheet asks this before it applies.
      storedSinceActive_ = false;
      return Answer(StoreIfChanged() ? FALSE : TRUE);
    case PSN_APPLY:
      // The current page was stored by PSN_KILLACTIVE just before; this
      // stores only a page the sheet applies without asking first.
      return Answer(StoreIfChanged() ? PSNRET_NOERROR : PSNRET_INVALID);
    default:
      return FALSE;
  }
}

bool OptionsPageView::StoreIfChanged() {
  if (storedSinceActive_) return true;
  Exchange exchange = Store();
  if (!exchange.ok) {
    FocusControl(window_, exchange.focus);
    return false;
  }
  storedSinceActive_ = true;
  return true;
}

INT_PTR OptionsPageView::Answer(LONG_PTR result) {
  SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace talvenor::view
