#include "settings/qt/sip_address_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/qt/address_combo.h"
#include "settings/qt/qt_text.h"
#include "settings/qt/widget_helpers.h"

namespace talvenor::view {

CSIPAddress::CSIPAddress(OptionsPages& pages, QWidget* parent) : OptionsPageView(pages, parent) {
  setObjectName(kAddressPage);
  address_ = Named(new AddressCombo(this), kAddressCombo);
  address_->lineEdit()->setMaxLength(kAddressTextLimit);
  address_->SetBeforePopup([this] { RefillAddressList(); });
  port_ = Named(MakeDigitsEdit(this), kSipPortEdit);
  port_->setFixedWidth(port_->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
  name_ = Named(MakeLimitedEdit(this, kDisplayNameLimit), kDisplayNameEdit);
  log_ = Named(new QCheckBox(tr("&Log all incoming SIP messages to:"), this), kLogCheck);
  ban_ = Named(new QCheckBox(tr("&Reject if incoming IP address is in:"), this), kBanCheck);
  logList_ = Named(new QPushButton(tr("SIP-LOG List..."), this), kLogListButton);
  banList_ = Named(new QPushButton(tr("SIP-BAN List..."), this), kBanListButton);

  auto* addressLabel = new QLabel(tr("My &IP address:port"), this);
  addressLabel->setBuddy(address_);
  auto* nameLabel = new QLabel(tr("My display &name:"), this);
  nameLabel->setBuddy(name_);

  auto* addressRow = new QHBoxLayout;
  addressRow->addWidget(address_, 1);
  addressRow->addWidget(new QLabel(QStringLiteral(":"), this));
  addressRow->addWidget(port_);

  auto* lists = new QGridLayout;
  lists->addWidget(log_, 0, 0);
  lists->addWidget(logList_, 0, 1);
  lists->addWidget(ban_, 1, 0);
  lists->addWidget(banList_, 1, 1);
  lists->setColumnStretch(0, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(addressLabel);
  layout->addLayout(addressRow);
  layout->addSpacing(6);
  layout->addWidget(nameLabel);
  layout->addWidget(name_);
  layout->addSpacing(12);
  layout->addLayout(lists);
  layout->addStretch(1);

  // The buttons follow the boxes at once; the settings change only at store.
  connect(log_, &QCheckBox::toggled, this, &CSIPAddress::UpdateListButtons);
  connect(ban_, &QCheckBox::toggled, this, &CSIPAddress::UpdateListButtons);
  connect(logList_, &QPushButton::clicked, this, [this] { pages_.OpenList(ListFile::Log); });
  connect(banList_, &QPushButton::clicked, this, [this] { pages_.OpenList(ListFile::Ban); });
  UpdateListButtons();
}

void CSIPAddress::Load() {
  AddressForm form = pages_.LoadAddress();
  address_->setEditText(ToQt(form.address));
  port_->setText(ToQt(form.port));
  name_->setText(ToQt(form.name));
  log_->setChecked(form.log);
  ban_->setChecked(form.ban);
  UpdateListButtons();
}

Exchange CSIPAddress::Store() {
  AddressForm form;
  form.address = FromQt(address_->currentText());
  form.port = FromQt(port_->text());
  form.name = FromQt(name_->text());
  form.log = log_->isChecked();
  form.ban = ban_->isChecked();
  return pages_.StoreAddress(form);
}

void CSIPAddress::RefillAddressList() {
  std::string stored = pages_.StoredAddress();
  std::vector<std::string> choices = pages_.AddressChoices();
  address_->clear();
  for (const std::string& choice : choices) address_->addItem(ToQt(choice));
  // Adding the first item selects it; the text is the stored address.
  address_->setCurrentIndex(-1);
  address_->setEditText(ToQt(stored));
}

void CSIPAddress::UpdateListButtons() {
  logList_->setEnabled(log_->isChecked());
  banList_->setEnabled(ban_->isChecked());
}

}  // namespace talvenor::view
