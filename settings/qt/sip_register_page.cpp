#include "settings/qt/sip_register_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/qt/qt_text.h"
#include "settings/qt/widget_helpers.h"

namespace talvenor::view {

CSIPRegister::CSIPRegister(OptionsPages& pages, QWidget* parent) : OptionsPageView(pages, parent) {
  setObjectName(kRegisterPage);
  enable_ = new QCheckBox(tr("&Enable SIP registrations"), this);
  enable_->setObjectName(kEnableRegistrationsCheck);
  authenticateRegistrations_ = new QCheckBox(tr("Authenticate &registrations"), this);
  authenticateRegistrations_->setObjectName(kAuthenticateRegistrationsCheck);
  authenticateInvites_ = new QCheckBox(tr("Authenticate &invites"), this);
  authenticateInvites_->setObjectName(kAuthenticateInvitesCheck);
  auto* registrationsList = new QPushButton(tr("SIP-REG List..."), this);
  registrationsList->setObjectName(kRegistrationsListButton);
  pinList_ = new QPushButton(tr("SIP-PIN List..."), this);
  pinList_->setObjectName(kPinListButton);
  expiration_ = Named(MakeDigitsEdit(this), kExpirationEdit);
  expiration_->setFixedWidth(expiration_->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 16);
  auto* expirationLabel = new QLabel(tr("&Default expiration [sec]:"), this);
  expirationLabel->setBuddy(expiration_);

  auto* grid = new QGridLayout;
  grid->addWidget(enable_, 0, 0);
  grid->addWidget(registrationsList, 0, 1);
  // Indented: it counts only while registrations are enabled.
  auto* authenticateRow = new QHBoxLayout;
  authenticateRow->addSpacing(20);
  authenticateRow->addWidget(authenticateRegistrations_);
  grid->addLayout(authenticateRow, 1, 0);
  grid->addWidget(authenticateInvites_, 2, 0);
  grid->addWidget(pinList_, 2, 1);
  grid->setColumnStretch(0, 1);

  auto* expirationRow = new QHBoxLayout;
  expirationRow->addWidget(expirationLabel);
  expirationRow->addWidget(expiration_);
  expirationRow->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addSpacing(12);
  layout->addLayout(expirationRow);
  layout->addStretch(1);

  for (QCheckBox* box : {enable_, authenticateRegistrations_, authenticateInvites_}) {
    connect(box, &QCheckBox::toggled, this, &CSIPRegister::UpdateEnables);
  }
  connect(registrationsList, &QPushButton::clicked, this, [this] { pages_.OpenList(ListFile::Registrations); });
  connect(pinList_, &QPushButton::clicked, this, [this] { pages_.OpenList(ListFile::Pins); });
  UpdateEnables();
}

void CSIPRegister::Load() {
  RegisterForm form = pages_.LoadRegister();
  enable_->setChecked(form.enable);
  authenticateRegistrations_->setChecked(form.authenticateRegistrations);
  authenticateInvites_->setChecked(form.authenticateInvites);
  expiration_->setText(ToQt(form.expiration));
  UpdateEnables();
}

Exchange CSIPRegister::Store() {
  RegisterForm form;
  form.enable = enable_->isChecked();
  form.authenticateRegistrations = authenticateRegistrations_->isChecked();
  form.authenticateInvites = authenticateInvites_->isChecked();
  form.expiration = FromQt(expiration_->text());
  return pages_.StoreRegister(form);
}

void CSIPRegister::UpdateEnables() {
  RegisterEnables enables = RegisterPageEnables(enable_->isChecked(), authenticateRegistrations_->isChecked(),
                                                authenticateInvites_->isChecked());
  authenticateRegistrations_->setEnabled(enables.authenticateRegistrations);
  pinList_->setEnabled(enables.pinList);
}

}  // namespace talvenor::view
