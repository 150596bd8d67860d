// One page of the "SIP Options" sheet: a dialog template of the plugin over
// a form of OptionsPages. A page is loaded when the sheet first shows it and
// stored when it is left or the sheet is closed with OK; a page the logic
// refuses stays current with the named control focused.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "settings/options_pages.h"

namespace talvenor::view {

class OptionsPageView {
public:
  OptionsPageView(OptionsPages& pages, int templateId);
  virtual ~OptionsPageView() = default;
  OptionsPageView(const OptionsPageView&) = delete;
  OptionsPageView& operator=(const OptionsPageView&) = delete;

  // The sheet's description of this page; the page must outlive the sheet.
  PROPSHEETPAGEW Describe();
  HWND Window() const { return window_; }

protected:
  // Once, when the page's window exists: limits and ranges of the controls.
  virtual void Prepare() {}
  virtual void Load() = 0;
  virtual Exchange Store() = 0;
  // Every time the page becomes current.
  virtual void Activated() {}
  // A control's WM_COMMAND; true when the page handled it.
  virtual bool Command(int /*id*/, int /*code*/) { return false; }
  // WM_HSCROLL of a control (the slider).
  virtual bool Scrolled(HWND /*control*/) { return false; }
  virtual bool Timer(UINT_PTR /*id*/) { return false; }

  OptionsPages& pages_;

private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Notified(const NMHDR& header);
  // Stores the page unless it has been since it became current; false when
  // refused, the named control then focused.
  bool StoreIfChanged();
  INT_PTR Answer(LONG_PTR result);

  const int templateId_;
  HWND window_ = nullptr;
  bool storedSinceActive_ = false;
};

}  // namespace talvenor::view
