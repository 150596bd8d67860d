#include "settings/qt/widget_helpers.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace talvenor::view {

QLineEdit* MakeDigitsEdit(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  static const QRegularExpression digits(QStringLiteral("[0-9]*"));
  edit->setValidator(new QRegularExpressionValidator(digits, edit));
  edit->setAlignment(Qt::AlignRight);
  return edit;
}

QLineEdit* MakeLimitedEdit(QWidget* parent, int limit) {
  auto* edit = new QLineEdit(parent);
  edit->setMaxLength(limit);
  return edit;
}

}  // namespace talvenor::view
