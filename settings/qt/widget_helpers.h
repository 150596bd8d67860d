// Small builders shared by the dialogs' pages.
#pragma once

#include <QLineEdit>
#include <QWidget>

#include "settings/qt/view_names.h"

namespace talvenor::view {

// Names a widget after its control id and returns it.
template <typename Widget>
Widget* Named(Widget* widget, int id) {
  widget->setObjectName(ControlName(id));
  return widget;
}

// An edit that takes decimal digits only, right-aligned; no length limit.
QLineEdit* MakeDigitsEdit(QWidget* parent);
// A plain edit holding at most `limit` characters.
QLineEdit* MakeLimitedEdit(QWidget* parent, int limit);

}  // namespace talvenor::view
