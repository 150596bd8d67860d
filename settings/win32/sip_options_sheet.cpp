#include "settings/win32/sip_options_sheet.h"

#include <commctrl.h>

#include <array>
#include <utility>

#include "settings/win32/plugin_module.h"
#include "settings/win32/sip_address_page.h"
#include "settings/win32/sip_gateway_page.h"
#include "settings/win32/sip_register_page.h"
#include "settings/win32/sip_voip_page.h"

namespace talvenor::view {

namespace {

constexpr UINT kShowPostedMessages = WM_APP + 1;
constexpr const wchar_t* kSheetProperty = L"TalvenorOptionsSheet";

// The sheet being made on this thread: the sheet's creation callback
// carries no pointer of ours.
thread_local CSIPOptionsSheet* sheetStarting = nullptr;

}  // namespace

CSIPOptionsSheet::CSIPOptionsSheet(OptionsPages& pages, SheetEvents events)
    : pages_(pages), events_(std::move(events)) {}

int CSIPOptionsSheet::Run(std::string& why) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);

  // The pages in their tab order; they outlive the sheet's windows.
  CSIPGateway gateways(pages_);
  CSIPAddress address(pages_);
  CSIPRegister registrar(pages_);
  CSIPVoIP voip(pages_);
  std::array<PROPSHEETPAGEW, 4> descriptions = {gateways.Describe(), address.Describe(), registrar.Describe(),
                                                voip.Describe()};

  PROPSHEETHEADERW header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK;
  header.hwndParent = nullptr;
  header.hInstance = PluginInstance();
  header.pszCaption = L"SIP Options";
  header.nPages = static_cast<UINT>(descriptions.size());
  header.nStartPage = 0;
  header.ppsp = descriptions.data();
  header.pfnCallback = &CSIPOptionsSheet::SheetCallback;

  sheetStarting = this;
  INT_PTR result = PropertySheetW(&header);
  sheetStarting = nullptr;
  if (result < 0) {
    why = "the property sheet could not be made (error " + std::to_string(GetLastError()) + ")";
    return -1;
  }
  // Without a display the sheet ends as if cancelled, its window never made.
  if (!created_) {
    why = "no window can be made here";
    return -1;
  }
  // Any positive result (a restart asked for by a page) is an OK.
  return result > 0 ? 1 : 0;
}

bool CSIPOptionsSheet::PostShowMessages(HWND sheet) { return PostMessageW(sheet, kShowPostedMessages, 0, 0) != FALSE; }

void CSIPOptionsSheet::PostCancel(HWND sheet) { PropSheet_PressButton(sheet, PSBTN_CANCEL); }

int CALLBACK CSIPOptionsSheet::SheetCallback(HWND sheet, UINT message, LPARAM /*lParam*/) {
  if (message == PSCB_INITIALIZED && sheetStarting != nullptr) {
    CSIPOptionsSheet* starting = sheetStarting;
    sheetStarting = nullptr;
    starting->Created(sheet);
  }
  return 0;
}

void CSIPOptionsSheet::Created(HWND sheet) {
  created_ = true;
  // The sheet's window procedure is the toolkit's; ours goes in front of it
  // to take the posted-message signal.
  SetPropW(sheet, kSheetProperty, this);
  sheetProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CSIPOptionsSheet::SheetWindowProc)));
  if (events_.created) events_.created(sheet);
}

LRESULT CALLBACK CSIPOptionsSheet::SheetWindowProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = static_cast<CSIPOptionsSheet*>(GetPropW(sheet, kSheetProperty));
  if (self == nullptr) return DefWindowProcW(sheet, message, wParam, lParam);
  WNDPROC sheetProc = self->sheetProc_;
  if (message == kShowPostedMessages) {
    if (self->events_.messagesPosted) self->events_.messagesPosted();
    return 0;
  }
  if (message == WM_NCDESTROY) {
    if (self->events_.destroyed) self->events_.destroyed();
    SetWindowLongPtrW(sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(sheetProc));
    RemovePropW(sheet, kSheetProperty);
  }
  return CallWindowProcW(sheetProc, sheet, message, wParam, lParam);
}

}  // namespace talvenor::view
