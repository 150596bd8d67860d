#include "settings/qt/sip_credentials_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/qt/qt_text.h"
#include "settings/qt/widget_helpers.h"

namespace talvenor::view {

CSIPCredentials::CSIPCredentials(CredentialsPage& page, QWidget* parent) : QDialog(parent), page_(page) {
  setObjectName(kCredentialsDialog);
  setWindowTitle(tr("SIP Credentials"));
  gateway_ = new QLineEdit(this);
  gateway_->setObjectName(kCredentialsGatewayEdit);
  gateway_->setReadOnly(true);
  gateway_->setMinimumWidth(gateway_->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 28);
  userId_ = Named(MakeLimitedEdit(this, kCredentialLimit), kCredentialsUserIdEdit);
  // The password is shown as typed.
  password_ = Named(MakeLimitedEdit(this, kCredentialLimit), kCredentialsPasswordEdit);

  auto* fields = new QFormLayout;
  fields->addRow(tr("Gateway:"), gateway_);
  fields->addRow(tr("User ID:"), userId_);
  fields->addRow(tr("Password/PIN:"), password_);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* registerButton = buttons->addButton(tr("Register"), QDialogButtonBox::AcceptRole);
  registerButton->setObjectName(kRegisterButton);
  registerButton->setDefault(true);
  buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(kCancelButton);
  connect(buttons, &QDialogButtonBox::accepted, this, &CSIPCredentials::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CSIPCredentials::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addWidget(buttons);

  CredentialsForm form = page_.Load();
  gateway_->setText(ToQt(form.gateway));
  userId_->setText(ToQt(form.userId));
  password_->setText(ToQt(form.password));
  userId_->setFocus(Qt::OtherFocusReason);
}

void CSIPCredentials::accept() {
  CredentialsForm form;
  form.gateway = FromQt(gateway_->text());
  form.userId = FromQt(userId_->text());
  form.password = FromQt(password_->text());
  Exchange exchange = page_.Store(form);
  if (!exchange.ok) {
    auto* field = findChild<QLineEdit*>(ControlName(exchange.focus));
    if (field != nullptr) {
      field->setFocus(Qt::OtherFocusReason);
      field->selectAll();
    }
    return;
  }
  QDialog::accept();
}

}  // namespace talvenor::view
