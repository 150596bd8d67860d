// One page of the "SIP Options" sheet: widgets over a form of OptionsPages.
// A page is loaded the first time it is shown and stored when it is left or
// the sheet is closed with OK.
#pragma once

#include <QWidget>

#include "settings/options_pages.h"

namespace talvenor::view {

class OptionsPageView : public QWidget {
  Q_OBJECT

public:
  OptionsPageView(OptionsPages& pages, QWidget* parent);

  bool Loaded() const { return loaded_; }
  void EnsureLoaded();
  // Stores the page. When the logic refuses a field its message has been
  // shown already; the result names the field.
  Exchange StorePage() { return Store(); }
  // Focuses the widget named after a control id, selecting an edit's text.
  void FocusControl(int id);

protected:
  virtual void Load() = 0;
  virtual Exchange Store() = 0;
  OptionsPages& pages_;

private:
  bool loaded_ = false;
};

}  // namespace talvenor::view
