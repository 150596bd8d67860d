#include "settings/qt/options_page_view.h"

#include <QComboBox>
#include <QLineEdit>

#include "settings/qt/view_names.h"

namespace talvenor::view {

OptionsPageView::OptionsPageView(OptionsPages& pages, QWidget* parent) : QWidget(parent), pages_(pages) {}

void OptionsPageView::EnsureLoaded() {
  if (loaded_) return;
  loaded_ = true;
  Load();
}

void OptionsPageView::FocusControl(int id) {
  if (id == kNoControl) return;
  auto* control = findChild<QWidget*>(ControlName(id));
  if (control == nullptr) return;
  control->setFocus(Qt::OtherFocusReason);
  if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    edit->selectAll();
  } else if (auto* combo = qobject_cast<QComboBox*>(control); combo != nullptr && combo->lineEdit() != nullptr) {
    combo->lineEdit()->selectAll();
  }
}

}  // namespace talvenor::view
